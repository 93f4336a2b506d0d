# Sourced by the benchmarks: timing a command and summing up rounds.

seconds() { # command...: prints its wall time
  local t0=${EPOCHREALTIME/,/.} t1
  "$@" >/dev/null 2>&1 || echo "  failed: $*" >&2
  t1=${EPOCHREALTIME/,/.}
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }'
}

must_seconds() { # command...: prints its wall time; a failure ends the benchmark
  local t0=${EPOCHREALTIME/,/.} t1
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  t1=${EPOCHREALTIME/,/.}
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'
}

seconds_and_kb() { # command...: prints its wall time and peak memory (kB); needs $work
  local t0=${EPOCHREALTIME/,/.} t1
  /usr/bin/time -o "$work/time.txt" -f "%M" "$@" >/dev/null 2>&1 || true
  t1=${EPOCHREALTIME/,/.}
  echo "$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }') $(tail -1 "$work/time.txt")"
}

cpu_seconds() { # command...: prints its processor time (user + system), which a busy machine disturbs less; needs $work
  /usr/bin/time -o "$work/cpu.txt" -f "%U %S" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.4f\n", $1 + $2 }' "$work/cpu.txt"
}

# The median of the numbers on stdin, one a line.
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# a / b to three places; n/a rather than a failed division when b is 0.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.3f", a / b; else print "n/a" }'; }

# Builds the targets in build-bench/ (Release, no tests).
bench_build() {
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIS_TESTS=OFF >/dev/null
  cmake --build build-bench --target "$@" >/dev/null
}

# Makes $work, a scratch folder removed when the benchmark ends.
bench_work() { # name
  work=$(mktemp -d "/tmp/quorvis-$1.XXXXXX")
  trap 'rm -rf "$work"' EXIT
}
