#!/usr/bin/env bash
# Installs what is missing, builds Quillon and starts it (with an optional file to open).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh build
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build
exec build/src/app/quillon "$@"
