#!/usr/bin/env bash
# ReplayGain while converting: 20 FLAC files of recorded music (two albums of
# ten tracks, 30 s each) to MP3 with `quorvis-cli convert --jobs <cores>`,
# plain and with --replaygain (measured on what the encoder is given, no
# second decode), against ffmpeg doing the same as two passes per file, the
# conversion and then its ebur128 measurement, <cores> files at a time.
# Alternates the three; prints medians, the cost of --replaygain over a plain
# conversion and the ratio to ffmpeg's two passes. The machine should be
# otherwise idle.
#
#   bench/replaygain-convert.sh [--rounds N]
#
# Needs ffmpeg, find and xargs; builds quorvis-cli in build-bench/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=3
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
cores=$(nproc)

bench_build quorvis-cli

bench_work replaygain
mkdir -p "$work/bin" "$work/lib"
cp build-bench/quorvis-cli "$work/bin/"
printf '[mp3]\nchannels=3\nfrequency=44100\nbitrate=192\nfvbr=0\n' > "$work/bin/setup.ini"
cli="$work/bin/quorvis-cli"
ff="ffmpeg -nostdin -v error -y"

. bench/music.sh
music_pcm 1 | $ff -f s16le -ar 44100 -ac 2 -i - -t 600 -c:a pcm_s16le "$work/music.wav"
for a in 1 2; do
  for t in $(seq 1 10); do
    $ff -ss $(((a * 10 + t - 11) * 30)) -t 30 -i "$work/music.wav" -c:a flac -metadata album="Album $a" \
      "$work/lib/$a-$(printf %02d "$t").flac"
  done
done
rm "$work/music.wav"


plain="$cli convert '$work/lib' --format mp3 --out '$work/out' --jobs $cores --quiet"
tagged="$plain --replaygain"
# ffmpeg measures what it wrote in a second pass (it has no ReplayGain writer for MP3).
theirs="cd '$work/lib' && ls *.flac | xargs -P$cores -I{} sh -c '$ff -i {} -c:a libmp3lame -b:a 192k \"$work/out/\${0%.flac}.mp3\" && ffmpeg -nostdin -i \"$work/out/\${0%.flac}.mp3\" -af ebur128=peak=true -f null - 2>/dev/null' {}"

pt=() rt=() tt=()
for ((i = 0; i < rounds; i++)); do
  for run in plain tagged theirs; do
    rm -rf "$work/out"; mkdir -p "$work/out"
    s=$(seconds bash -c "${!run}")
    case $run in plain) pt+=("$s") ;; tagged) rt+=("$s") ;; theirs) tt+=("$s") ;; esac
  done
done
pm=$(printf '%s\n' "${pt[@]}" | median)
rm_=$(printf '%s\n' "${rt[@]}" | median)
tm=$(printf '%s\n' "${tt[@]}" | median)
echo "20 FLAC files (30 s each) to MP3 192 kbps, $cores cores, $rounds rounds:"
printf '  plain %7.2fs  --replaygain %7.2fs (x%s)  ffmpeg convert + ebur128 pass %7.2fs  ratio ours/ffmpeg %s\n' \
  "$pm" "$rm_" "$(ratio "$rm_" "$pm")" "$tm" "$(ratio "$rm_" "$tm")"
