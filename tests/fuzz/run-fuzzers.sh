#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (core library and targets only) and
# runs each for a bounded time from a seed corpus made here by ffmpeg.
# A crash, a hang (-timeout), an out-of-memory or any sanitizer report fails
# the run; the input that caused it is kept under <build>/artifacts/.
#
#   tests/fuzz/run-fuzzers.sh [seconds-per-target] [targets...]
# Environment: QUORVIS_FUZZ_BUILD (build-fuzz), QUORVIS_FUZZ_JOBS (2 at a time).
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-60}
shift || true
build=${QUORVIS_FUZZ_BUILD:-build-fuzz}
jobs=${QUORVIS_FUZZ_JOBS:-2}

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DQUORVIS_FUZZ=ON -DQUORVIS_TESTS=OFF -DQUORVIS_SANITIZE=OFF >/dev/null
cmake --build "$build" --target fuzzers

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

# Seeds: small real files of each kind the parsers meet. The file-opening
# targets take a first byte choosing the extension (0 mp3, 1 wav, 2 ogg).
seeds=$build/seeds
rm -rf "$seeds" && mkdir -p "$seeds"/{mpeg_scan,mp3_frame_cutter,flac_frame_cutter,information,reader,ini_file,tag_year,label_file}
gen() { ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=$1:duration=$2" "${@:3}"; }
raw=$(mktemp -d)
gen 44100 0.5 -ac 2 -c:a libmp3lame -b:a 128k "$raw/cbr.mp3"
gen 44100 0.5 -ac 2 -c:a libmp3lame -q:a 4 "$raw/vbr.mp3"
gen 22050 0.5 -ac 1 -c:a libmp3lame -b:a 32k "$raw/mpeg2.mp3"
gen 8000 0.25 -ac 1 -c:a pcm_s16le "$raw/tone.wav"
gen 22050 0.5 -ac 1 -c:a libvorbis -q:a 0 "$raw/tone.ogg"
gen 44100 0.3 -ac 2 -c:a flac -frame_size 1024 "$seeds/flac_frame_cutter/fixed.flac"
for f in cbr vbr mpeg2; do
  cp "$raw/$f.mp3" "$seeds/mpeg_scan/" && cp "$raw/$f.mp3" "$seeds/mp3_frame_cutter/"
  for t in information reader; do { printf '\0'; cat "$raw/$f.mp3"; } >"$seeds/$t/$f"; done
done
for t in information reader; do
  { printf '\1'; cat "$raw/tone.wav"; } >"$seeds/$t/wav"
  { printf '\2'; cat "$raw/tone.ogg"; } >"$seeds/$t/ogg"
done
printf '[General]\r\nsavepath=/home/me/Music/\r\nmp3_bitrate=128\r\n; a comment\r\n\r\n[Setup]\r\nwav_bps=$18\r\nname="quoted value"\r\n' \
  >"$seeds/ini_file/setup.ini"
printf '1.000000\t3.500000\tIntro\r\n\\\t120.000000\t4400.000000\r\n2.250000\t2.250000\tSolo\r\n5,5\t8\tOutro\n' \
  >"$seeds/label_file/audacity.txt"
printf '1999' >"$seeds/tag_year/decimal"
printf '  -$7CF' >"$seeds/tag_year/hex"
printf '0x7FFFFFFF' >"$seeds/tag_year/limit"
rm -rf "$raw"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
mkdir -p "$build/corpus" "$build/artifacts" "$build/logs"
# The targets write every input to a file: on a memory file system when
# there is one (the INI rewrite syncs to disk).
work=$(mktemp -d -p "$( [ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")" quorvis-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT

run_one() {
  local t=$1 log=$build/logs/$1.log
  mkdir -p "$build/corpus/$t" "$work/$t"
  # The first folder collects what the fuzzer finds; the seeds stay as made.
  if TMPDIR=$work/$t "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$t-" "$build/corpus/$t" "$seeds/$t" >"$log" 2>&1; then
    echo "fuzz $t: passed, $(grep -m1 -o 'Done [0-9]* runs in [0-9]* second' "$log" || echo 'no run count')"
  else
    echo "fuzz $t: FAILED (log $log)"
    grep -E -m20 'ERROR|SUMMARY|runtime error|Test unit written|==[0-9]+==' "$log" || tail -20 "$log"
    return 1
  fi
}

failed=0
running=0
for t in "${targets[@]}"; do
  run_one "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=$((failed + 1))
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=$((failed + 1))
  running=$((running - 1))
done

if [ "$failed" -eq 0 ]; then
  echo "fuzzing: all ${#targets[@]} targets ran clean"
else
  echo "fuzzing: $failed of ${#targets[@]} targets failed"
  exit 1
fi
