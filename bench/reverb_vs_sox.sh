#!/usr/bin/env bash
# Reverb with the "Hangar" preset (decay 1000 ms, pre-delay 100 ms, diffusion 50 %, wet and dry
# 0 dB) on ten minutes of stereo 44.1 kHz audio, as whole processes: quillon-cli opening the file,
# applying the reverb and saving a 16-bit WAV, against sox doing its reverb (reverberance 50,
# damping 50, room scale 100) from the same file to the same kind of file. Prints both times and
# the ratio quillon / sox (below 1: quillon is faster).
#
#   bench/reverb_vs_sox.sh [build-dir] [runs]
#
# Every figure is the best wall time of `runs` runs (default 3). Everything lives in a temporary
# folder that is removed at the end. Needs sox.
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
runs=${2:-3}
cli=$(realpath "$build/src/app/quillon-cli")
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
cd "$work"

echo "making ten minutes of stereo pink noise..."
sox -n -r 44100 -c 2 -b 16 ten-minutes.wav synth 600 pinknoise vol 0.3

# shellcheck source=bench/best_of.sh
. "$bench_dir/best_of.sh"

quillon=$(before="rm -f out.wav; sync" best_of "$cli" -q --yes open ten-minutes.wav \
  reverb decay=1000 predelay=100 diffusion=50 wet=0 dry=0 save-as out.wav)
[ -s out.wav ] || { echo "quillon-cli wrote nothing" >&2; exit 1; }
sox=$(before="rm -f out.wav; sync" best_of sox ten-minutes.wav out.wav reverb 50 50 100)

awk -v q="$quillon" -v s="$sox" 'BEGIN {
  printf "reverb \"Hangar\", 10 minutes stereo   quillon %6d ms   sox %6d ms   ratio %6.3f\n",
    q, s, (s > 0 ? q / s : 0) }'
