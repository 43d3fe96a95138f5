#!/usr/bin/env bash
# Installs what is missing, builds Quillon and runs every test: the normal build first (Release, as
# packagers build it), then the AddressSanitizer/UndefinedBehaviorSanitizer build (Debug, clang)
# and a few seconds of each fuzz target from that build.
# `./test.sh --fast` skips the sanitizer build. Warnings are errors in all of them.
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

# A few seconds of libFuzzer per target, from the checked-in seeds (tools/fuzz.sh for long runs).
# The targets come from the sanitizer build, whose libraries are instrumented for them.
fuzz_smoke() {
  echo "== fuzz smoke" >&2
  local targets
  targets=$(sed -n 's/^quillon_fuzz_target(\([a-z0-9_]*\).*/\1/p' tests/fuzz/CMakeLists.txt)
  local work
  work=$(mktemp -d)
  for target in $targets; do
    mkdir -p "$work/$target"
    "build-sanitize/tests/fuzz/$target" -max_total_time=4 -artifact_prefix="$work/" \
      "$work/$target" "tests/fuzz/corpus/$target" 2>"$work/$target.log" ||
      { cat "$work/$target.log" >&2; echo "fuzz target $target failed" >&2; exit 1; }
  done
  rm -rf "$work"
}

run_suite build -DCMAKE_BUILD_TYPE=Release -DQUILLON_WERROR=ON
if [ $fast -eq 0 ]; then
  # clang, so that the same build also links the libFuzzer targets (one build instead of two).
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_SANITIZE=ON -DQUILLON_FUZZ=ON -DQUILLON_BUILD_BENCH=OFF \
    -DQUILLON_WERROR=ON
  fuzz_smoke
fi
echo "== all tests passed" >&2
