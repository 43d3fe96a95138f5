#!/usr/bin/env bash
# Installs what is missing, builds Quillon and runs every test: the normal build first, then the
# AddressSanitizer/UndefinedBehaviorSanitizer build. `./test.sh --fast` skips the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh test

jobs=$(nproc 2>/dev/null || echo 2)
fast=0
[ "${1:-}" = "--fast" ] && fast=1

echo "== format check" >&2
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r clang-format --dry-run -Werror

run_suite() {
  local dir=$1; shift
  echo "== build $dir" >&2
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
  echo "== test $dir" >&2
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ $fast -eq 0 ]; then
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DQUILLON_BUILD_BENCH=OFF
fi
echo "== all tests passed" >&2
