# Sourced by the benchmarks that need real recorded music: Wesnoth's
# soundtrack (Debian's wesnoth-1.16-music, orchestral recordings in Ogg
# Vorbis under a free licence), installed when missing.
music=/usr/share/games/wesnoth/1.16/data/core/music
if [ ! -d "$music" ]; then
  echo "Installing: wesnoth-1.16-music"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends wesnoth-1.16-music >/dev/null
fi

# Writes the soundtrack to stdout as 44.1 kHz stereo s16le, its tracks end to
# end, PASSES times over. Each track is decoded on its own and the PCM joined
# in a pipe: the concat demuxer's timestamps across these files lost 38 s in
# three hours. The reader stops at its length and the decoders then die of a
# broken pipe, which is the end of the loop, not an error.
music_pcm() {
  local passes=$1 pass f
  for ((pass = 0; pass < passes; pass++)); do
    for f in "$music"/*.ogg; do
      ffmpeg -nostdin -v error -i "$f" -ar 44100 -ac 2 -f s16le - 2>/dev/null || return 0
    done
  done
}
