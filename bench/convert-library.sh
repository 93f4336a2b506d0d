#!/usr/bin/env bash
# Converting a library: a tree of 100 tagged FLAC files of recorded music (ten
# albums of ten tracks, 20 s each) to Opus with `quorvis-cli convert --recursive
# --keep-structure --name TEMPLATE --jobs <cores>` against the same ffmpeg
# commands run <cores> at a time by `find | xargs -P<cores>`, alternating the
# two; then the same conversion again with --skip-existing over the finished
# output, which should convert nothing and take a moment. Prints medians and
# the ratio ours/ffmpeg. The machine should be otherwise idle.
#
#   bench/convert-library.sh [--rounds N]
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

bench_work library
mkdir -p "$work/bin" "$work/lib"
cp build-bench/quorvis-cli "$work/bin/"
printf '[opus]\nbitrate=128\nmode=0\ncomplexity=10\n' > "$work/bin/setup.ini"
cli="$work/bin/quorvis-cli"
ff="ffmpeg -nostdin -v error -y"

# Real recorded music, 20 s a track, in album folders tagged as an album would
# be: 2000 s of the soundtrack cut into 100 consecutive pieces.
. bench/music.sh
music_pcm 3 | $ff -f s16le -ar 44100 -ac 2 -i - -t 2000 -c:a pcm_s16le "$work/music.wav"
for a in $(seq 1 10); do
  for t in $(seq 1 10); do
    d="$work/lib/Artist $a/Album $a"
    mkdir -p "$d"
    $ff -ss $(((a * 10 + t - 11) * 20)) -t 20 -i "$work/music.wav" -c:a flac \
      -metadata artist="Artist $a" -metadata album="Album $a" -metadata title="Track $t" -metadata track="$t" \
      "$d/$(printf %02d "$t") Track $t.flac"
  done
done
rm "$work/music.wav"


template='{artist}/{album}/{track:02} - {title}'
ours="$cli convert '$work/lib' --recursive --keep-structure --name '$template' --format opus --out '$work/out' --jobs $cores --quiet"
# The peer's names come from the paths (ffmpeg has no tag templates); the
# folders are made as ours makes them.
theirs="cd '$work/lib' && find . -name '*.flac' -print0 | xargs -0 -P$cores -I{} sh -c 'mkdir -p \"$work/out/\$(dirname \"{}\")\" && $ff -i \"{}\" -c:a libopus -b:a 128k \"$work/out/\${0%.flac}.opus\"' {}"

ot=() tt=() pr=()
for ((i = 0; i < rounds; i++)); do
  rm -rf "$work/out"; mkdir -p "$work/out"
  ot+=("$(seconds bash -c "$ours")")
  rm -rf "$work/out"; mkdir -p "$work/out"
  tt+=("$(seconds bash -c "$theirs")")
  pr+=("$(ratio "${ot[-1]}" "${tt[-1]}")")
done
om=$(printf '%s\n' "${ot[@]}" | median)
tm=$(printf '%s\n' "${tt[@]}" | median)
echo "100 FLAC files (20 s each) in 10 folders to Opus 128 kbps, $cores cores, $rounds rounds:"
printf '  convert tree      ours %7.2fs  find|xargs -P%s ffmpeg %7.2fs  ratio of medians %s  median of paired ratios %s\n' \
  "$om" "$cores" "$tm" "$(ratio "$om" "$tm")" "$(printf '%s\n' "${pr[@]}" | median)"

# Nothing changed since the last run of ours: every file is passed over.
rm -rf "$work/out"; mkdir -p "$work/out"
bash -c "$ours" >/dev/null 2>&1
made=$(find "$work/out" -name '*.opus' | wc -l)
st=()
for ((i = 0; i < rounds; i++)); do
  st+=("$(seconds bash -c "$ours --skip-existing")")
done
after=$(find "$work/out" -name '*.opus' | wc -l)
printf '  --skip-existing   ours %7.2fs for 100 files (%s outputs before, %s after: nothing converted again)\n' \
  "$(printf '%s\n' "${st[@]}" | median)" "$made" "$after"
