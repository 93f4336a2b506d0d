#!/usr/bin/env bash
# Builds the Debian package (Release, no sanitizers, no tests) and checks it as
# a user gets it: the desktop entry and the AppStream metadata pass their
# validators, the package unpacks into a temporary folder, and from there
# quorvis-cli reads a generated file and quorvis starts on a virtual display,
# shows the launcher (and the tip of the day) and exits cleanly when its
# windows are closed (QUORVIS_CLOSE_AFTER_MS, see app/main.cpp).
# Environment: QUORVIS_PACKAGE_BUILD (build-pkg).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${QUORVIS_PACKAGE_BUILD:-build-pkg}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIS_SANITIZE=OFF -DQUORVIS_TESTS=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/quorvis_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(echo "$build"/quorvis_*.deb)
echo "package-check: $deb"

work=$(mktemp -d /tmp/quorvis-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-check: $*" >&2; exit 1; }

# The dependencies come from the binaries, so the GUI libraries must be named.
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6multimedia6 libavcodec59 libmp3lame0; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
id=org.example.quorvis
for f in bin/quorvis bin/quorvis-cli share/quorvis/tips.txt share/quorvis/quorvis-help.html \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/48x48/apps/$id.png \
         share/icons/hicolor/256x256/apps/$id.png share/man/man1/quorvis.1.gz share/man/man1/quorvis-cli.1.gz; do
  [ -f "$usr/$f" ] || fail "the package lacks /usr/$f"
done
desktop-file-validate "$usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$usr/share/metainfo/$id.metainfo.xml"

# A user of their own: an empty home, no leftovers of the test run's settings.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset XDG_CONFIG_HOME QT_QPA_PLATFORM ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=2:sample_rate=44100" -ac 2 "$work/tone.wav"
info=$("$usr/bin/quorvis-cli" info "$work/tone.wav") || fail "quorvis-cli info failed: $info"
grep -q "frames: *88200" <<<"$info" || fail "unexpected quorvis-cli info: $info"

# Start the launcher, wait for it and for the tip dialog to appear, and let the
# close hook end the run; its exit status is the program's.
cat >"$work/show.sh" <<'SHOW'
#!/usr/bin/env bash
QUORVIS_CLOSE_AFTER_MS=8000 "$1" &
pid=$!
seen=""
for _ in $(seq 1 150); do
  tree=$(xwininfo -root -tree 2>/dev/null || true)
  grep -q '"Quorvis"' <<<"$tree" && grep -q '"Tip of the Day"' <<<"$tree" && { seen=1; break; }
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
wait "$pid"
status=$?
[ -n "$seen" ] || { echo "package-check: the launcher and the tip never showed" >&2; exit 1; }
exit "$status"
SHOW
chmod +x "$work/show.sh"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" "$work/show.sh" "$usr/bin/quorvis" \
  || fail "quorvis did not start, show its windows and exit cleanly"
[ ! -e "$usr/bin/setup.ini" ] || fail "an installed copy wrote setup.ini beside its executable"
echo "package-check: passed"
