#!/usr/bin/env bash
# Installs what is missing, builds Quorvis and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVIS_TESTS=OFF
cmake --build build
# Without a display, start a virtual one so the launcher can still be shown.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/quorvis "$@"
fi
exec build/quorvis "$@"
