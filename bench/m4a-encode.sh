#!/usr/bin/env bash
# Encoding AAC in M4A: ten minutes of recorded music (a 16-bit WAV) converted
# by `quorvis-cli convert --format m4a` against `ffmpeg -c:a aac` at the same
# bit rate, alternating the two, ROUNDS times each. Prints the medians and the
# ratio ours/ffmpeg (the goal is at most 1.05). The machine should be
# otherwise idle.
#
#   bench/m4a-encode.sh [--rounds N] [--bitrate KBPS]
#
# Needs ffmpeg; builds quorvis-cli in build-bench/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=5
kbps=160
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --bitrate) kbps=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

bench_build quorvis-cli

bench_work m4a
mkdir -p "$work/bin" "$work/ours" "$work/theirs"
cp build-bench/quorvis-cli "$work/bin/"
# The source's rate and layout, as ffmpeg keeps them unasked.
printf '[m4a]\nbitrate=%s\nfrequency=0\nchannels=0\n' "$kbps" > "$work/bin/setup.ini"
cli="$work/bin/quorvis-cli"
ff="ffmpeg -nostdin -v error -y"

. bench/music.sh
music_pcm 2 | $ff -f s16le -ar 44100 -ac 2 -i - -t 600 -c:a pcm_s16le "$work/music.wav"


ot=() tt=()
for ((i = 0; i < rounds; i++)); do
  rm -f "$work/ours/music.m4a" "$work/theirs/music.m4a"
  ot+=("$(seconds "$cli" convert "$work/music.wav" --format m4a --out "$work/ours" --quiet)")
  tt+=("$(seconds $ff -i "$work/music.wav" -c:a aac -b:a "${kbps}k" "$work/theirs/music.m4a")")
done
om=$(printf '%s\n' "${ot[@]}" | median)
tm=$(printf '%s\n' "${tt[@]}" | median)
frames() { ffprobe -v error -select_streams a:0 -show_entries stream=duration_ts -of csv=p=0 "$1"; }
echo "10 minutes of music (44.1 kHz stereo WAV) to AAC ${kbps} kbps in M4A, $rounds rounds each:"
printf '  ours %7.2fs  ffmpeg -c:a aac %7.2fs  ratio %s\n' "$om" "$tm" "$(ratio "$om" "$tm")"
printf '  lengths (frames): source %s, ours %s, ffmpeg %s\n' \
  "$(frames "$work/music.wav")" "$(frames "$work/ours/music.m4a")" "$(frames "$work/theirs/music.m4a")"
