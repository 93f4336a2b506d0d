#!/usr/bin/env bash
# Batch conversion on every core: ten 90-second WAV files to MP3 and to Ogg
# with `quorvis-cli convert --jobs <cores>` against the same ffmpeg commands
# run <cores> at a time by `xargs -P<cores>`, alternating the two. Prints the
# median wall time of each and the ratio ours/ffmpeg (goal: at most 1.0; the
# bar is 1.05). The machine should be otherwise idle: other builds running
# beside it slow the two sides unevenly.
#
#   bench/parallel-convert.sh [--rounds N]
#
# Needs ffmpeg and xargs; builds quorvis-cli in build-bench/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=5
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
cores=$(nproc)

bench_build quorvis-cli

bench_work parallel
# The CLI reads its encoder settings from setup.ini beside itself: this copy
# gets the ones the ffmpeg commands use.
mkdir -p "$work/bin" "$work/in"
cp build-bench/quorvis-cli "$work/bin/"
printf '[mp3]\nchannels=3\nfrequency=44100\nbitrate=128\nfvbr=0\n[ogg]\nfrequency=44100\nchannels=2\nbitrate=128\nvbr=0\nfquality=0\n' \
  > "$work/bin/setup.ini"
cli="$work/bin/quorvis-cli"
ff="ffmpeg -nostdin -v error -y"

# Tones over pink noise, a different pitch per file, so the encoders work as on music.
for i in $(seq 1 10); do
  $ff -f lavfi -i "sine=f=$((200 + 40 * i)):sample_rate=44100:duration=90" \
    -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:amplitude=0.2:duration=90:seed=$i" \
    -filter_complex "[0][1]amix=inputs=2:normalize=0,aformat=channel_layouts=stereo" -c:a pcm_s16le "$work/in/f$i.wav"
done
sources=$(ls "$work"/in/*.wav | tr '\n' ' ')


# name, our command, peer command, peer name; alternating, folder emptied before each run.
compare() {
  local name=$1 ours=$2 theirs=$3 peer=$4 ot=() tt=() pr=()
  for ((i = 0; i < rounds; i++)); do
    rm -rf "$work/out"; mkdir -p "$work/out"
    ot+=("$(seconds bash -c "$ours")")
    rm -rf "$work/out"; mkdir -p "$work/out"
    tt+=("$(seconds bash -c "$theirs")")
    pr+=("$(ratio "${ot[-1]}" "${tt[-1]}")")
  done
  local om tm
  om=$(printf '%s\n' "${ot[@]}" | median)
  tm=$(printf '%s\n' "${tt[@]}" | median)
  printf '%-28s ours %7.2fs  %-10s %7.2fs  ratio of medians %s  median of paired ratios %s\n' \
    "$name" "$om" "$peer" "$tm" "$(ratio "$om" "$tm")" "$(printf '%s\n' "${pr[@]}" | median)"
}

echo "Ten 90-second WAV files, $cores cores, $rounds rounds:"
compare "10 files to MP3 128 kbps" "$cli convert $sources --format mp3 --out $work/out --jobs $cores --quiet" \
  "printf '%s\n' $sources | xargs -P$cores -I{} sh -c '$ff -i {} -c:a libmp3lame -b:a 128k $work/out/\$(basename {} .wav).mp3'" \
  "xargs -P$cores"
compare "10 files to Ogg 128 kbps" "$cli convert $sources --format ogg --out $work/out --jobs $cores --quiet" \
  "printf '%s\n' $sources | xargs -P$cores -I{} sh -c '$ff -i {} -c:a libvorbis -b:a 128k $work/out/\$(basename {} .wav).ogg'" \
  "xargs -P$cores"

