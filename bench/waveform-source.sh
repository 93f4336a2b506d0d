#!/usr/bin/env bash
# The waveform editor's pyramid of a long 44.1 kHz stereo FLAC of recorded
# music (one decode on a worker thread) against ffmpeg decoding the same file
# (`ffmpeg -i F -f null -`), in the same run, alternating the two. Prints the
# median wall time of each, the ratio ours/ffmpeg (goal: at most 1.0), the
# peak resident memory of each, then what one build of ours reports: the
# pyramid's size and what the editor's calls cost on it.
#
#   bench/waveform-source.sh [--rounds N] [--hours H (whole)] [--keep DIR]
#
# The music is Wesnoth's soundtrack (Debian's wesnoth-1.16-music, installed
# when missing: two hours of orchestral recordings in Ogg Vorbis), its tracks
# end to end, again from the first when they run out, cut at H hours
# (default 3) and written as FLAC level 5, 16 bits. --keep DIR keeps that
# file in DIR and reuses it (3 hours are about 1 GiB); otherwise it is made
# in a temporary folder and removed.
# Needs: ffmpeg, GNU time (/usr/bin/time). Builds quorvis-source-pyramid in
# build-bench/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=3
hours=3
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --hours) hours=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

. bench/music.sh

bench_build quorvis-source-pyramid

bench_work source
ff=(ffmpeg -nostdin -v error -y)
data=${keep:-$work}
mkdir -p "$data"
flac="$data/music-${hours}h.flac"
if [ ! -s "$flac" ]; then
  echo "Making ${hours} hours of music as FLAC..."
  seconds=$(awk -v h="$hours" 'BEGIN { printf "%d", h * 3600 }')
  # Each track decoded on its own and the PCM joined in a pipe: the concat
  # demuxer's timestamps across these files lost 38 s in three hours.
  # The encoder stops at the length and the decoders then die of a broken
  # pipe, which is the end of the loop, not an error.
  music_pcm "$hours" | "${ff[@]}" -f s16le -ar 44100 -ac 2 -i - -t "$seconds" \
      -c:a flac -compression_level 5 -f flac "$flac.part"
  mv "$flac.part" "$flac"
fi

# Runs a command once; prints "seconds peak_kb".

ours="build-bench/quorvis-source-pyramid --build-only $flac"
theirs="${ff[*]} -i $flac -f null -"
ot=() tt=() pr=()
om=0 tm=0
for ((i = 0; i < rounds; i++)); do
  read -r r m < <(seconds_and_kb bash -c "$ours"); ot+=("$r"); [ "$m" -gt "$om" ] && om=$m
  read -r r m < <(seconds_and_kb bash -c "$theirs"); tt+=("$r"); [ "$m" -gt "$tm" ] && tm=$m
  pr+=("$(ratio "${ot[-1]}" "${tt[-1]}")")
done
omed=$(printf '%s\n' "${ot[@]}" | median)
tmed=$(printf '%s\n' "${tt[@]}" | median)
echo "Pyramid of ${hours} h of FLAC against one decode, $rounds rounds:"
printf '%-28s ours %7.2fs  ffmpeg %7.2fs  ratio %5s (median of paired ratios %s)  peak ours %6d KiB  ffmpeg %6d KiB\n' \
  "pyramid of ${hours} h FLAC" "$omed" "$tmed" "$(ratio "$omed" "$tmed")" "$(printf '%s\n' "${pr[@]}" | median)" "$om" "$tm"
echo "One build, as reported by it:"
build-bench/quorvis-source-pyramid "$flac" | sed 's/^/  /'
