#!/usr/bin/env bash
# The lossless FLAC split (`quorvis-cli split --lossless --format flac`, ten
# parts) against `cp` of the same bytes and against our re-encoding split to
# FLAC, in the same run, alternating them. Prints the median wall time of
# each and the ratios ours/cp (goal: at most 2) and ours/re-encode. Each part
# is synced to disk before it is renamed into place, which plain cp does not
# do, so `cp` followed by `sync` of the copy is timed as well. Then the
# cutter alone (quorvis-flac-cut) with and without the MD5 of each part's
# samples, which needs every sample decoded. Checks that the parts, decoded
# by ffmpeg and joined, are the source's samples bit for bit, and pass `flac -t`.
#
#   bench/flac-lossless-split.sh [--rounds N] [--minutes M] [--keep DIR]
#
# The music is Wesnoth's soundtrack (Debian's wesnoth-1.16-music, installed
# when missing: orchestral recordings in Ogg Vorbis), its tracks end to end,
# cut at M minutes (default 60) and written by the flac tool, level 5, 16 bits.
# Needs: ffmpeg, flac. Builds quorvis-cli and quorvis-flac-cut in build-bench/ (Release).
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

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIS_TESTS=OFF >/dev/null
cmake --build build-bench --parallel 2 --target quorvis-cli quorvis-flac-cut >/dev/null

bench_work flacsplit
mkdir -p "$work/bin"
cp build-bench/quorvis-cli build-bench/quorvis-flac-cut "$work/bin/"
cat > "$work/bin/setup.ini" <<'INI'
[flac]
frequency=44100
channels=2
bps=16
level=5
INI
ff=(ffmpeg -nostdin -v error -y)
data=${keep:-$work}
mkdir -p "$data"
flac="$data/music-${minutes}m.flac"
if [ ! -s "$flac" ]; then
  echo "Making ${minutes} minutes of music as FLAC..."
  # The decoders die of a broken pipe once the encoder has its length.
  music_pcm 3 | "${ff[@]}" -f s16le -ar 44100 -ac 2 -i - -t $((minutes * 60)) -f wav "$work/music.wav"
  flac -s -5 -f -o "$flac.part" "$work/music.wav"
  rm -f "$work/music.wav"
  mv "$flac.part" "$flac"
fi
echo "Source: $flac ($(du -m "$flac" | cut -f1) MiB), 10 parts"

# Runs a command once after emptying its output folder; prints the seconds.
measure() { # folder command...: the folder emptied first
  rm -rf "$1" && mkdir -p "$1"
  shift
  must_seconds "$@"
}

cli=$work/bin/quorvis-cli
cut=$work/bin/quorvis-flac-cut
ours=() copy=() csync=() reenc=() md5=() nomd5=()
for ((r = 0; r < rounds; r++)); do
  ours+=("$(measure "$work/ours" "$cli" split "$flac" --parts 10 --lossless --format flac --out "$work/ours" --quiet)")
  copy+=("$(measure "$work/cp" cp "$flac" "$work/cp/copy.flac")")
  csync+=("$(measure "$work/cps" sh -c 'cp "$1" "$2" && sync "$2"' - "$flac" "$work/cps/copy.flac")")
  reenc+=("$(measure "$work/re" "$cli" split "$flac" --parts 10 --format flac --out "$work/re" --quiet)")
  md5+=("$(measure "$work/md5" "$cut" "$flac" "$work/md5" 10 md5)")
  nomd5+=("$(measure "$work/nomd5" "$cut" "$flac" "$work/nomd5" 10 no-md5)")
done
o=$(printf '%s\n' "${ours[@]}" | median)
c=$(printf '%s\n' "${copy[@]}" | median)
s=$(printf '%s\n' "${csync[@]}" | median)
e=$(printf '%s\n' "${reenc[@]}" | median)
m=$(printf '%s\n' "${md5[@]}" | median)
n=$(printf '%s\n' "${nomd5[@]}" | median)
printf 'lossless split (cli)     %7.3fs\n' "$o"
printf 'cp of the source         %7.3fs   ours/cp %s (goal <= 2)\n' "$c" "$(ratio "$o" "$c")"
printf 'cp, then sync the copy   %7.3fs   ours/(cp+sync) %s\n' "$s" "$(ratio "$o" "$s")"
printf 're-encoding split (cli)  %7.3fs   ours/re-encode %s\n' "$e" "$(ratio "$o" "$e")"
printf 'cutter alone, MD5        %7.3fs   /cp %s\n' "$m" "$(ratio "$m" "$c")"
printf 'cutter alone, no MD5     %7.3fs   /cp %s\n' "$n" "$(ratio "$n" "$c")"

echo "Checking the parts..."
for p in "$work"/ours/*.flac; do flac -s -t "$p" 2>/dev/null || { echo "flac -t failed: $p"; exit 1; }; done
whole=$("${ff[@]}" -i "$flac" -f s16le - | md5sum)
joined=$(for p in "$work"/ours/*.flac; do "${ff[@]}" -i "$p" -f s16le -; done | md5sum)
if [ "$whole" = "$joined" ]; then echo "parts joined: bit-exact"; else echo "parts joined: DIFFER"; exit 1; fi
