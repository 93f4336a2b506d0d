#!/usr/bin/env bash
# The lossless split of AAC in MP4 (packets copied, never decoded) into 10
# parts against `cp` of the same bytes, in the same run, alternating the two.
# Prints the median wall time of each and the ratio ours/cp; then checks once
# that every part decodes (ffmpeg) to its range's length, how far its samples
# are from the source's decode over that range, and that the parts add up to
# the source's decoded length.
#
#   bench/aac-lossless-split.sh [--rounds N] [--minutes M] [--keep DIR]
#
# The source is M minutes (default 60) of recorded music: Wesnoth's
# soundtrack (Debian's wesnoth-1.16-music, installed when missing), its tracks
# end to end, encoded with ffmpeg's AAC encoder at 128 kbps into .m4a.
# --keep DIR keeps it in DIR and reuses it.
# Needs: ffmpeg. Builds quorvis-packet-split in build-bench/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=5
minutes=60
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

. bench/music.sh

bench_build quorvis-packet-split
split=build-bench/quorvis-packet-split

bench_work aac-split
ff=(ffmpeg -nostdin -v error -y)

data=${keep:-$work}
mkdir -p "$data"
src="$data/music-${minutes}m.m4a"
if [ ! -s "$src" ]; then
  echo "Making ${minutes} minutes of music as AAC..."
  music_pcm 3 | "${ff[@]}" -f s16le -ar 44100 -ac 2 -i - -t "$((minutes * 60))" -c:a aac -b:a 128k \
    -f ipod "$src.part"
  mv "$src.part" "$src"
fi


ours=() cps=()
for ((i = 0; i < rounds; i++)); do
  rm -rf "$work/out"; mkdir -p "$work/out"
  ours+=("$(must_seconds "$split" "$src" "$work/out" 10)")
  rm -rf "$work/out"; mkdir -p "$work/out"
  cps+=("$(must_seconds cp "$src" "$work/out/")")
done
o=$(printf '%s\n' "${ours[@]}" | median)
c=$(printf '%s\n' "${cps[@]}" | median)
printf 'm4a    %s MiB  ours %7.3fs  cp %7.3fs  ratio %5s\n' \
  "$(($(stat -c %s "$src") >> 20))" "$o" "$c" "$(ratio "$o" "$c")"

rm -rf "$work/out"; mkdir -p "$work/out"
"$split" "$src" "$work/out" 10 --check > "$work/check.txt"
awk '{ exact += ($5 == $7); sum += $7; if (m == "" || $11 < m) m = $11; if ($9 > d) d = $9 }
     END { printf "  parts: %d of %d exact lengths, %d samples in all; largest difference %.6f, lowest SNR %s dB\n",
           exact, NR, sum, d, m }' "$work/check.txt"
sed 's/^/    /' "$work/check.txt"
whole=$(( $(ffmpeg -nostdin -v error -i "$src" -f f32le -ac 1 - | wc -c) / 4 ))
echo "  the source decodes to ${whole} samples"
