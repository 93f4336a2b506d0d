#!/usr/bin/env bash
# Quorvis against the ffmpeg command line doing the same re-encode, in the same
# run, alternating the two. Prints, per case, the median wall time of each, the
# ratio ours/ffmpeg (target: at most 1.05) and the peak resident memory of each.
# The lossless MP3 split runs against mp3splt, which copies frames as well
# (target: at most 1.0, acceptable up to 1.5), and must be far faster than our
# re-encoding split; its parts are decoded and checked against the source.
#
#   bench/run-benchmarks.sh [--rounds N] [--quick] [--only peaks|editor]
#
# --quick uses 1-minute instead of 10-minute sources (a smoke run, not a measurement).
# --only peaks runs the waveform case alone (it needs only the long MP3);
# --only editor the waveform editor's repaint times alone (the same MP3).
# Needs: ffmpeg, GNU time (/usr/bin/time), a C++ compiler; installs mp3splt when
# missing. Builds quorvis-cli in build-bench/ (Release).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/timing.sh

rounds=3
minutes=10
long_minutes=60
only=""
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --quick) minutes=1; long_minutes=6; shift ;;
    --only) only=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done

# mp3splt is only a yardstick, so it is installed here and not with the build
# dependencies.
if [ "$only" != peaks ] && [ "$only" != editor ] && ! command -v mp3splt >/dev/null; then
  echo "Installing: mp3splt"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends mp3splt >/dev/null
fi

bench_build quorvis-cli quorvis-peaks quorvis-editor-bench

bench_work bench
# The CLI reads its encoder settings from setup.ini beside itself: give this
# copy its own, with the settings the ffmpeg commands below use.
mkdir -p "$work/bin"
cp build-bench/quorvis-cli build-bench/quorvis-peaks build-bench/quorvis-editor-bench "$work/bin/"
cat > "$work/bin/setup.ini" <<'INI'
[mp3]
channels=3
frequency=44100
bitrate=128
fvbr=0
[wav]
frequency=44100
channels=2
bps=16
[wma]
wmaprofile=38
[ogg]
frequency=44100
channels=2
bitrate=128
vbr=0
fquality=0
[flac]
frequency=44100
channels=2
bps=16
level=5
[opus]
bitrate=128
mode=0
complexity=10
INI
cli="$work/bin/quorvis-cli"
c++ -O2 -std=c++17 -o "$work/bin/compare-decoded" bench/compare-decoded.cpp
ff=(ffmpeg -nostdin -v error -y)

# A signal with some life in it (tones over pink noise), so the encoders work
# as they would on music rather than on silence.
make_source() { # path seconds
  "${ff[@]}" -f lavfi -i "sine=f=440:sample_rate=44100:duration=$2" \
    -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:amplitude=0.2:duration=$2" \
    -filter_complex "[0][1]amix=inputs=2:normalize=0,aformat=channel_layouts=stereo" -c:a pcm_s16le "$1"
}

# Runs a command once; prints "seconds peak_kb". The wall time comes from the
# shell's microsecond clock: GNU time's 10 ms steps are too coarse for the runs
# of a tenth of a second that copying frames takes.



# case name, "our command", "peer command", folder to empty before each run,
# peer's name (ffmpeg unless given). Leaves our median in bench_ours.
bench() {
  local name=$1 ours=$2 theirs=$3 clean=$4 peer=${5:-ffmpeg}
  local ot=() tt=() om=0 tm=0 r m
  for ((i = 0; i < rounds; i++)); do
    rm -rf "$clean"; mkdir -p "$clean"
    read -r r m < <(seconds_and_kb bash -c "$ours"); ot+=("$r"); [ "$m" -gt "$om" ] && om=$m
    rm -rf "$clean"; mkdir -p "$clean"
    read -r r m < <(seconds_and_kb bash -c "$theirs"); tt+=("$r"); [ "$m" -gt "$tm" ] && tm=$m
  done
  local omed tmed
  omed=$(printf '%s\n' "${ot[@]}" | median)
  tmed=$(printf '%s\n' "${tt[@]}" | median)
  printf '%-34s ours %7.2fs  %s %7.2fs  ratio %5s  peak ours %6d KiB  %s %6d KiB\n' \
    "$name" "$omed" "$peer" "$tmed" "$(ratio "$omed" "$tmed")" "$om" "$peer" "$tm"
  bench_ours=$omed
}

# Ours alone, for a slow run measured against one of ours: case name, command,
# folder to empty before each run, number of runs.
solo() {
  local name=$1 cmd=$2 clean=$3 n=$4 t=() om=0 r m
  for ((i = 0; i < n; i++)); do
    rm -rf "$clean"; mkdir -p "$clean"
    read -r r m < <(seconds_and_kb bash -c "$cmd"); t+=("$r"); [ "$m" -gt "$om" ] && om=$m
  done
  solo_median=$(printf '%s\n' "${t[@]}" | median)
  printf '%-34s ours %7.2fs  %28s  peak ours %6d KiB\n' "$name" "$solo_median" "" "$om"
}

echo "Making sources..."
[ "$only" = peaks ] || [ "$only" = editor ] || make_source "$work/src.wav" $((minutes * 60))
make_source "$work/long.wav" $((long_minutes * 60))
"${ff[@]}" -i "$work/long.wav" -c:a libmp3lame -b:a 128k "$work/long.mp3"
o="$work/out"

# The waveform editor repaints from what is cached while the user zooms from
# the whole file to single samples and scrolls (target: 99th percentile of a
# frame at most 16 ms).
if [ "$only" = editor ] || [ -z "$only" ]; then
  echo "Waveform editor repaint on the ${long_minutes}-minute MP3:"
  QT_QPA_PLATFORM=offscreen "$work/bin/quorvis-editor-bench" "$work/long.mp3"
  [ "$only" = editor ] && exit 0
fi

# The split wizard reads a source's peaks with one decode on a thread of its
# own; a plain decode by ffmpeg is the yardstick (target: at most 1.0).
echo "Waveform peaks of the ${long_minutes}-minute MP3 against one decode:"
bench "peaks of ${long_minutes} min MP3" "$work/bin/quorvis-peaks $work/long.mp3" \
  "${ff[*]} -i $work/long.mp3 -f null -" "$o"
[ "$only" = peaks ] && exit 0

for i in $(seq 1 10); do
  "${ff[@]}" -ss $(( (i - 1) * 30 )) -t $((minutes * 36)) -i "$work/long.wav" -c:a libmp3lame -b:a 128k "$work/piece$i.mp3"
done
pieces=$(for i in $(seq 1 10); do printf '%s ' "$work/piece$i.mp3"; done)
inputs=$(for i in $(seq 1 10); do printf -- '-i %s ' "$work/piece$i.mp3"; done)

echo "Convert one ${minutes}-minute stereo file:"
bench "convert to MP3 128 kbps" "$cli convert $work/src.wav --format mp3 --out $o --quiet" \
  "${ff[*]} -i $work/src.wav -c:a libmp3lame -b:a 128k $o/src.mp3" "$o"
bench "convert to Ogg 128 kbps" "$cli convert $work/src.wav --format ogg --out $o --quiet" \
  "${ff[*]} -i $work/src.wav -c:a libvorbis -b:a 128k $o/src.ogg" "$o"
bench "convert to WMA 128 kbps" "$cli convert $work/src.wav --format wma --out $o --quiet" \
  "${ff[*]} -i $work/src.wav -c:a wmav2 -b:a 128k $o/src.wma" "$o"
bench "convert to WAV 16 bit" "$cli convert $work/src.wav --format wav --out $o --quiet" \
  "${ff[*]} -i $work/src.wav -c:a pcm_s16le $o/src.wav" "$o"
bench "convert to FLAC level 5" "$cli convert $work/src.wav --format flac --out $o --quiet" \
  "${ff[*]} -i $work/src.wav -c:a flac -compression_level 5 $o/src.flac" "$o"
# Both resample the 44.1 kHz source to Opus's 48 kHz; libopus's defaults are VBR, complexity 10.
bench "convert to Opus 128 kbps" "$cli convert $work/src.wav --format opus --out $o --quiet" \
  "${ff[*]} -i $work/src.wav -c:a libopus -b:a 128k $o/src.opus" "$o"
echo "Memory against length (MP3, ${long_minutes}-minute file):"
bench "convert ${long_minutes} min to MP3" "$cli convert $work/long.wav --format mp3 --out $o --quiet" \
  "${ff[*]} -i $work/long.wav -c:a libmp3lame -b:a 128k $o/long.mp3" "$o"
echo "Split a ${long_minutes}-minute MP3 into 10 parts (MP3 128 kbps, normal precision):"
bench "split into 10 parts" "$cli split $work/long.mp3 --parts 10 --format mp3 --precision normal --out $o --quiet --no-tag" \
  "${ff[*]} -i $work/long.mp3 -f segment -segment_time $((long_minutes * 6)) -c:a libmp3lame -b:a 128k $o/part%03d.mp3" "$o"
echo "The same split with its parts written at once (every core) against one after another (target: at most 0.6 on two cores):"
bench "split, parts at once" "$cli split $work/long.mp3 --parts 10 --format mp3 --precision normal --out $o --quiet --no-tag --jobs 0" \
  "$cli split $work/long.mp3 --parts 10 --format mp3 --precision normal --out $o --quiet --no-tag --jobs 1" "$o" "one-by-one"
echo "Split the same MP3 into 10 parts without re-encoding (frames copied; mp3splt in frame mode):"
# A run first, kept for the sample check, so that a refused or failing split
# is reported instead of being timed.
lossless="$cli split $work/long.mp3 --parts 10 --format mp3 --lossless --quiet --out"
splt="mp3splt -Q -f -S 10 -d"
rm -rf "$work/ours" "$work/mp3splt"; mkdir -p "$work/ours" "$work/mp3splt"
if ! $lossless "$work/ours" 2>"$work/lossless.err"; then
  echo "  our lossless split failed, not timed: $(head -3 "$work/lossless.err")"
else
  $splt "$work/mp3splt" "$work/long.mp3" >/dev/null || echo "  mp3splt failed"
  for d in ours mp3splt; do
    n=$(find "$work/$d" -name '*.mp3' | wc -l)
    [ "$n" -eq 10 ] || echo "  $d made $n parts instead of 10"
  done
  # A run takes a fraction of a second: more rounds steady the medians.
  rounds=$((rounds * 5)) bench "lossless split into 10 parts" "$lossless $o" "$splt $o $work/long.mp3" "$o" mp3splt
  lossless_median=$bench_ours
  # The re-encode takes half a minute a run, and its spread is small beside a
  # ratio of a hundred: two runs are plenty. It writes one part at a time, so
  # that the yardstick is the work copying saves, not the number of cores.
  solo "re-encoding split, exact, one core" \
    "$cli split $work/long.mp3 --parts 10 --format mp3 --precision exact --quiet --jobs 1 --out $o" "$o" $((rounds < 2 ? rounds : 2))
  printf '  re-encoding split / lossless split: %s (target: more than 100)\n' "$(ratio "$solo_median" "$lossless_median")"
  # Names sort in part order for both: ours are numbered, mp3splt's begin with the start time.
  for d in ours mp3splt; do
    printf '  decoded, %-8s ' "$d:"
    # shellcheck disable=SC2046  # the part names hold no spaces
    "$work/bin/compare-decoded" 2 "$work/long.mp3" $(find "$work/$d" -name '*.mp3' | LC_ALL=C sort) || true
  done
fi
echo "Merge ten MP3 files into one MP3:"
bench "merge 10 files" "$cli merge $pieces --output merged --format mp3 --out $o --quiet" \
  "${ff[*]} $inputs -filter_complex concat=n=10:v=0:a=1 -c:a libmp3lame -b:a 128k $o/merged.mp3" "$o"
# One file at a time, as the loop of ffmpeg commands does; bench/parallel-convert.sh
# measures --jobs against ffmpeg run on every core.
echo "Convert ten MP3 files to Ogg:"
bench "convert 10 files to Ogg" "$cli convert $pieces --format ogg --out $o --jobs 1 --quiet" \
  "for f in $pieces; do ${ff[*]} -i \$f -c:a libvorbis -b:a 128k $o/\$(basename \$f .mp3).ogg; done" "$o"
