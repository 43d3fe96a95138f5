#!/usr/bin/env bash
# Long fuzz runs with libFuzzer: tools/fuzz.sh TARGET SECONDS
# Builds the fuzz targets with clang in build-fuzz/ and runs TARGET for SECONDS, keeping what it
# learns in build-fuzz/corpus/TARGET (the checked-in seeds under tests/fuzz/corpus stay as they
# are). Crashes are written to build-fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: tools/fuzz.sh TARGET SECONDS}
seconds=${2:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DQUILLON_FUZZ=ON -DQUILLON_SANITIZE=ON -DQUILLON_BUILD_BENCH=OFF \
  -DQUILLON_WERROR=ON >/dev/null
cmake --build build-fuzz --target "$target"
mkdir -p "build-fuzz/corpus/$target" build-fuzz/crashes
exec "build-fuzz/tests/fuzz/$target" -max_total_time="$seconds" -artifact_prefix=build-fuzz/crashes/ \
  "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target"
