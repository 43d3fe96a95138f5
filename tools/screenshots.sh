#!/usr/bin/env bash
# Renders the editor's screens offscreen at 1280 × 720 into docs/screenshots/. With screen names
# as arguments only those are rendered; `tools/screenshots.sh --list` lists them. A new screen is
# a row in tools/screens/quillon_screens.cpp.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QUILLON_BUILD_DIR:-build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target quillon-screens >/dev/null
if [ "${1:-}" = "--list" ]; then
  exec "$build/tools/screens/quillon-screens" --list
fi
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen "$build/tools/screens/quillon-screens" docs/screenshots "$@"
