#!/usr/bin/env bash
# Encoding one long file to Opus: 10 minutes of recorded music (44.1 kHz
# stereo WAV) to Opus 128 kbps VBR, complexity 10, by `quorvis-cli convert
# --jobs 1` against `ffmpeg -c:a libopus` with the same settings, alternating
# the two; the same again from a 48 kHz source, which leaves resampling out.
# Prints medians, the ratio of the medians and the median of paired ratios,
# of wall time and of processor time (user + system: steadier on a busy
# machine). The machine should be otherwise idle.
#
#   bench/opus-encode.sh [--rounds N]
#
# Needs ffmpeg; builds quorvis-cli in build-bench/ (Release).
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

bench_build quorvis-cli

bench_work opus
mkdir -p "$work/bin" "$work/out"
cp build-bench/quorvis-cli "$work/bin/"
printf '[opus]\nbitrate=128\nmode=0\ncomplexity=10\n' > "$work/bin/setup.ini"
cli="$work/bin/quorvis-cli"
ff="ffmpeg -nostdin -v error -y"

. bench/music.sh
music_pcm 1 | $ff -f s16le -ar 44100 -ac 2 -i - -t 600 -c:a pcm_s16le "$work/music.wav"
$ff -i "$work/music.wav" -ar 48000 -c:a pcm_s16le "$work/music48.wav"

for src in music.wav music48.wav; do
  for clock in must_seconds cpu_seconds; do
    ot=() tt=() pr=()
    for ((i = 0; i < rounds; i++)); do
      rm -f "$work/out/"*
      ot+=("$($clock "$cli" convert "$work/$src" --format opus --out "$work/out" --jobs 1 --quiet)")
      tt+=("$($clock $ff -i "$work/$src" -c:a libopus -b:a 128k -vbr on -compression_level 10 "$work/out/ff.opus")")
      pr+=("$(ratio "${ot[-1]}" "${tt[-1]}")")
    done
    om=$(printf '%s\n' "${ot[@]}" | median)
    tm=$(printf '%s\n' "${tt[@]}" | median)
    printf '%-12s %-4s ours %6.2fs  ffmpeg %6.2fs  ratio of medians %s  median of paired ratios %s (range %s-%s)\n' \
      "$src" "$([ $clock = cpu_seconds ] && echo cpu || echo wall)" "$om" "$tm" "$(ratio "$om" "$tm")" \
      "$(printf '%s\n' "${pr[@]}" | median)" "$(printf '%s\n' "${pr[@]}" | sort -n | head -1)" \
      "$(printf '%s\n' "${pr[@]}" | sort -n | tail -1)"
  done
done
