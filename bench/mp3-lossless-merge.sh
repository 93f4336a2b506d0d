#!/usr/bin/env bash
# Merging twenty 3-minute MP3 chapters of recorded music into one file: our
# merge that copies the frames (`quorvis-cli merge --lossless`) against our
# re-encoding merge and against ffmpeg's `-f concat -safe 0 -i list -c copy`,
# alternating the three. Prints the median wall time of each, the ratios, and
# each output's length error against the sum of the chapters' exact lengths
# (ffmpeg's decode of each, encoder delay and padding removed). ffmpeg's
# concat copies the inner files' delay and padding into the middle of the
# stream, so its join is not gapless. Then the bridges of our join: where the
# frames encoded anew lie and how long they are.
#
#   bench/mp3-lossless-merge.sh [--rounds N] [--bitrate KBPS]
#
# The chapters are consecutive 3-minute pieces of Wesnoth's soundtrack
# (bench/music.sh), each encoded by ffmpeg's libmp3lame on its own, as a
# ripper or a recorder writes chapters. Needs ffmpeg; builds quorvis-cli and
# quorvis-mp3-join in build-bench/ (Release). The machine should be otherwise idle.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=3
bitrate=192
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --bitrate) bitrate=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIS_TESTS=OFF >/dev/null
cmake --build build-bench --parallel 2 --target quorvis-cli quorvis-mp3-join >/dev/null

bench_work mp3merge
mkdir -p "$work/bin" "$work/ch"
cp build-bench/quorvis-cli build-bench/quorvis-mp3-join "$work/bin/"
# The re-encoding merge writes what the chapters are: joint stereo at their rate.
printf '[mp3]\nfrequency=44100\nchannels=3\nbitrate=%s\nfvbr=0\n' "$bitrate" > "$work/bin/setup.ini"
cli=$work/bin/quorvis-cli
ff=(ffmpeg -nostdin -v error -y)

. bench/music.sh
echo "Making 20 chapters of 3 minutes, MP3 ${bitrate} kbps..."
music_pcm 3 | "${ff[@]}" -f s16le -ar 44100 -ac 2 -i - -t 3600 -c:a pcm_s16le "$work/music.wav"
chapters=()
: > "$work/list.txt"
for i in $(seq 1 20); do
  c=$(printf '%s/ch/%02d.mp3' "$work" "$i")
  "${ff[@]}" -ss $(((i - 1) * 180)) -t 180 -i "$work/music.wav" -c:a libmp3lame -b:a "${bitrate}k" "$c"
  chapters+=("$c")
  echo "file '$c'" >> "$work/list.txt"
done
rm "$work/music.wav"

frames() { "${ff[@]}" -i "$1" -f s16le - | wc -c | awk '{print $1 / 4}'; }
sum=0
for c in "${chapters[@]}"; do sum=$((sum + $(frames "$c"))); done


lo=() re=() cc=()
for ((r = 0; r < rounds; r++)); do
  rm -rf "$work/out"; mkdir -p "$work/out"
  lo+=("$(seconds "$cli" merge "${chapters[@]}" --lossless --format mp3 --out "$work/out" --output lossless --quiet)")
  re+=("$(seconds "$cli" merge "${chapters[@]}" --format mp3 --out "$work/out" --output reencoded --quiet)")
  cc+=("$(seconds "${ff[@]}" -f concat -safe 0 -i "$work/list.txt" -c copy "$work/out/concat.mp3")")
done
l=$(printf '%s\n' "${lo[@]}" | median)
e=$(printf '%s\n' "${re[@]}" | median)
c=$(printf '%s\n' "${cc[@]}" | median)
err() { awk -v a="$1" -v b="$sum" 'BEGIN { printf "%+d frames (%+.1f ms)", a - b, (a - b) * 1000 / 44100 }'; }
echo "20 chapters of 3 minutes, MP3 ${bitrate} kbps, $rounds rounds (sum of exact lengths: $sum frames):"
printf '  lossless merge (ours)     %7.3fs  length %s\n' "$l" "$(err "$(frames "$work/out/lossless.mp3")")"
printf '  re-encoding merge (ours)  %7.3fs  length %s  lossless/re-encoding %s\n' "$e" \
  "$(err "$(frames "$work/out/reencoded.mp3")")" "$(ratio "$l" "$e")"
printf '  ffmpeg concat -c copy     %7.3fs  length %s  lossless/concat %s\n' "$c" \
  "$(err "$(frames "$work/out/concat.mp3")")" "$(ratio "$l" "$c")"

echo "Bridges of the lossless merge (frames encoded anew, and the frames after them that still hear them):"
"$work/bin/quorvis-mp3-join" "$work/out/again.mp3" "${chapters[@]}" | awk '
  /^bridge/ { n++; s = $5; sum += s; if (s > max) max = s; if (min == "" || s < min) min = s }
  END { printf "  %d bridges: %d to %d samples (%.0f to %.0f ms), %.1f s in all of 3600 s\n", n, min, max,
          min * 1000 / 44100, max * 1000 / 44100, sum / 44100 }'
