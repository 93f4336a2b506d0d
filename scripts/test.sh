#!/usr/bin/env bash
# Installs what is missing, builds Quorvis and its tests with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole suite: windows on Qt's offscreen
# platform, playback against a PulseAudio null sink started for the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test

build=${QUORVIS_TEST_BUILD:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIS_SANITIZE=ON -DQUORVIS_TESTS=ON
cmake --build "$build"

# A private sound server with one null sink, stopped when the run ends.
export XDG_RUNTIME_DIR=$(mktemp -d /tmp/quorvis-pulse.XXXXXX)
pulseaudio --daemonize=yes --exit-idle-time=-1 --disallow-exit -n \
  --load="module-null-sink sink_name=quorvis_null" --load="module-native-protocol-unix" \
  --log-target=stderr 2>/dev/null || echo "warning: PulseAudio did not start; playback tests will skip"
cleanup() { pulseaudio --kill 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"; }
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j2 "$@"

# The tests of the worker threads once more under ThreadSanitizer, in a build
# tree of their own holding those programs only. QUORVIS_TSAN=0 skips it.
if [ "${QUORVIS_TSAN:-1}" != 0 ]; then
  tsan_build=${QUORVIS_TSAN_BUILD:-build-tsan}
  cmake -S . -B "$tsan_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIS_TSAN=ON -DQUORVIS_TESTS=ON
  cmake --build "$tsan_build"
  TSAN_OPTIONS="halt_on_error=1:suppressions=$PWD/tests/tsan.supp" ctest --test-dir "$tsan_build" --output-on-failure
fi

# The Debian package, built and started from where it is unpacked.
# QUORVIS_PACKAGE_CHECK=0 skips it.
[ "${QUORVIS_PACKAGE_CHECK:-1}" = 0 ] || scripts/package-check.sh

# The parsers of untrusted files under libFuzzer (clang, own build tree), a
# bounded time each; any crash, hang or sanitizer report fails the run.
# QUORVIS_FUZZ_SECONDS=0 skips it.
fuzz_seconds=${QUORVIS_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
  tests/fuzz/run-fuzzers.sh "$fuzz_seconds"
fi
