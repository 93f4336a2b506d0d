#!/usr/bin/env bash
# Installs the Debian 12 packages Quorvis needs: to build and run it, and with
# --test also what the test suite and the package check use.
# Only missing packages are installed; a second run does nothing. As root it
# calls apt-get itself, otherwise through sudo; without either it names the
# packages to install and fails.
#   scripts/install-deps.sh [--test]
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins
  libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
  libmp3lame-dev libvorbis-dev libogg-dev libsndfile1-dev libtag1-dev libflac-dev libopusenc-dev libopus-dev libcue-dev
  libebur128-dev
  # a display for trying the windows on a machine without one
  xvfb xauth
)
test_packages=(
  libgtest-dev libgmock-dev
  # independent makers and checkers of audio, a sound server for playback tests
  ffmpeg sox musepack-tools flac opus-tools pulseaudio pulseaudio-utils
  # the one Monkey's Audio encoder Debian has (Java)
  libjmac-java default-jre-headless
  # clang and its libFuzzer and sanitizer runtimes for the fuzz targets
  clang libclang-rt-14-dev
  # the package check: the .deb's dependencies, the desktop entry and metadata
  # checkers, and a look at the windows on the virtual display
  dpkg-dev desktop-file-utils appstream x11-utils
)

case "${1:-}" in
  --test) packages+=("${test_packages[@]}") ;;
  "") ;;
  *) echo "usage: $0 [--test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  echo "These Debian packages are missing; install them as root, then run this again:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
