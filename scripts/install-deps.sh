#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvis needs to build, run and test.
# Only missing packages are installed; a second run does nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6charts6-dev libqt6opengl6-dev qt6-qpa-plugins
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmp3lame-dev libvorbis-dev libogg-dev libsndfile1-dev libtag1-dev libflac-dev libopusenc-dev libopus-dev libcue-dev
  libgtest-dev libgmock-dev
  # test-only: independent makers and checkers of audio, a sound server for playback tests
  ffmpeg sox musepack-tools flac opus-tools pulseaudio pulseaudio-utils
  # test-only: the one Monkey's Audio encoder Debian has (Java)
  libjmac-java default-jre-headless
  # test-only: clang and its libFuzzer and sanitizer runtimes for the fuzz targets
  clang libclang-rt-14-dev
  # a display for trying the windows on a machine without one
  xvfb
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
