#!/usr/bin/env bash
# Installs what is missing, builds Quillon and starts it (with an optional file to open).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
# The editor window arrives with a later step; until then the command-line program opens the
# file and describes it.
if [ $# -gt 0 ]; then
  exec build/src/app/quillon-cli open "$1" info
fi
exec build/src/app/quillon-cli --version
