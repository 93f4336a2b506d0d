#!/usr/bin/env bash
# The lossless split of Ogg Opus and Ogg Vorbis (packets copied, never
# decoded) into 10 parts against `cp` of the same bytes and against a
# re-encoding split of the same parts (ffmpeg decoding and encoding each part
# again with libopus / libvorbis), in the same run, alternating the three.
# Prints, per format, the median wall time of each and the ratios ours/cp
# (goal: at most 2) and ours/re-encoding; then checks once that every part
# decodes (ffmpeg) to its range's length and that the parts add up to the
# source's length.
#
#   bench/ogg-lossless-split.sh [--rounds N] [--minutes M] [--keep DIR]
#
# The sources are M minutes (default 60) of recorded music: Wesnoth's
# soundtrack (Debian's wesnoth-1.16-music, installed when missing), its tracks
# end to end, encoded with opusenc at 128 kbps and with libvorbis at -q 4.
# --keep DIR keeps them in DIR and reuses them.
# Needs: ffmpeg, opusenc, GNU time. Builds quorvis-packet-split in build-bench/
# (Release).
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

bench_work ogg-split
ff=(ffmpeg -nostdin -v error -y)

data=${keep:-$work}
mkdir -p "$data"
if [ ! -s "$data/music-${minutes}m.ogg" ]; then
  echo "Making ${minutes} minutes of music as Opus and Vorbis..."
  seconds=$((minutes * 60))
  # Each track decoded on its own and the PCM joined in a pipe (the concat
  # demuxer's timestamps drift across these files); the encoder stops at the
  # length and the decoders then die of a broken pipe, which ends the loop.
  music_pcm 3 | "${ff[@]}" -f s16le -ar 44100 -ac 2 -i - -t "$seconds" -c:a pcm_s16le "$work/music.wav"
  opusenc --quiet --bitrate 128 "$work/music.wav" "$data/music-${minutes}m.opus"
  "${ff[@]}" -i "$work/music.wav" -c:a libvorbis -q:a 4 -f ogg "$data/music-${minutes}m.ogg.part"
  mv "$data/music-${minutes}m.ogg.part" "$data/music-${minutes}m.ogg"
  rm "$work/music.wav"
fi

# The re-encoding split: the same 10 ranges, each decoded and encoded again.
reencode() { # source codec-args...
  local src=$1; shift
  local total
  total=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$src")
  for k in $(seq 0 9); do
    local ss t
    ss=$(awk -v d="$total" -v k="$k" 'BEGIN { printf "%.6f", d * k / 10 }')
    t=$(awk -v d="$total" 'BEGIN { printf "%.6f", d / 10 }')
    ffmpeg -nostdin -v error -y -ss "$ss" -t "$t" -i "$src" "$@" "$work/out/part$k.${src##*.}" || return 1
  done
}
export -f reencode
export work

for fmt in opus ogg; do
  src="$data/music-${minutes}m.$fmt"
  if [ "$fmt" = opus ]; then codec=(-c:a libopus -b:a 128k); else codec=(-c:a libvorbis -q:a 4); fi
  ours=() cps=() res=()
  for ((i = 0; i < rounds; i++)); do
    rm -rf "$work/out"; mkdir -p "$work/out"
    ours+=("$(must_seconds "$split" "$src" "$work/out" 10)")
    rm -rf "$work/out"; mkdir -p "$work/out"
    cps+=("$(must_seconds cp "$src" "$work/out/")")
    # Re-encoding takes minutes: once is enough to show the scale.
    if [ "$i" -eq 0 ]; then
      rm -rf "$work/out"; mkdir -p "$work/out"
      res+=("$(must_seconds bash -c "reencode $src ${codec[*]}")")
    fi
  done
  o=$(printf '%s\n' "${ours[@]}" | median)
  c=$(printf '%s\n' "${cps[@]}" | median)
  r=$(printf '%s\n' "${res[@]}" | median)
  printf '%-6s %s MiB  ours %7.3fs  cp %7.3fs  ratio %5s  re-encoding %8.2fs  ours/re-encoding %6s\n' \
    "$fmt" "$(($(stat -c %s "$src") >> 20))" "$o" "$c" "$(ratio "$o" "$c")" "$r" "$(ratio "$o" "$r")"

  # Once: every part decoded by ffmpeg against its range and against the
  # source's decode over that range (largest difference, SNR in dB).
  rm -rf "$work/out"; mkdir -p "$work/out"
  "$split" "$src" "$work/out" 10 --check > "$work/check.txt"
  awk '{ exact += ($5 == $7); sum += $7; if (m == "" || $11 < m) m = $11; if ($9 > d) d = $9 }
       END { printf "  parts: %d of %d exact lengths, %d samples in all; largest difference %.6f, lowest SNR %s dB\n",
             exact, NR, sum, d, m }' "$work/check.txt"
  sed 's/^/    /' "$work/check.txt"
  whole=$(( $(ffmpeg -nostdin -v error -i "$src" -f f32le -ac 1 - | wc -c) / 4 ))
  echo "  the source decodes to ${whole} samples"
done
