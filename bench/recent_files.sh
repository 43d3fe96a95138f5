#!/usr/bin/env bash
# What the recent-files list costs a whole quillon-cli run: open a minute of stereo audio and save
# it, with an empty list and with 100 remembered files (the most the list keeps), against a sox
# copy of the same file. Prints each best wall time of `runs` runs and the ratios.
#
#   bench/recent_files.sh [build-dir] [runs]
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
runs=${2:-5}
cli=$(realpath "$build/src/app/quillon-cli")
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
cd "$work"
sox -n -r 44100 -c 2 -b 16 in.wav synth 60 pinknoise vol 0.3

# The settings with `count` remembered files that exist.
remember() {
  rm -rf config && mkdir -p config/quillon remembered
  { echo "[MRU]"
    for i in $(seq 0 $(($1 - 1))); do
      : >"remembered/$i.wav"
      echo "File$i=$work/remembered/$i.wav"
      echo "Time$i=$((1700000000 - i))"
    done
    echo "File$1="; echo "Time$1=0"; } >config/quillon/settings.ini
}

# shellcheck source=bench/best_of.sh
. "$bench_dir/best_of.sh"

plain=$(before="remember 0; rm -f out.wav; sync" best_of "$cli" -q --yes open in.wav save-as out.wav)
full=$(before="remember 100; rm -f out.wav; sync" best_of "$cli" -q --yes open in.wav save-as out.wav)
sox=$(before="rm -f out.wav; sync" best_of sox -D in.wav out.wav)
awk -v p="$plain" -v f="$full" -v s="$sox" 'BEGIN {
  printf "open + save, empty list        %6d ms\n", p
  printf "open + save, 100 remembered    %6d ms   ratio to the empty list %.3f\n", f, (p > 0 ? f / p : 0)
  printf "sox copy                       %6d ms   ratio 100 remembered / sox %.3f\n", s, (s > 0 ? f / s : 0) }'
