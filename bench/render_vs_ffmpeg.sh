#!/usr/bin/env bash
# quillon-cli's waveform picture against ffmpeg's, as whole processes on the same hour of stereo
# 44.1 kHz 16-bit WAV (635 MB):
#   quillon-cli open hour.wav render w.png width=1280 height=240
#   ffmpeg -i hour.wav -filter_complex showwavespic=s=1280x240 -frames:v 1 f.png
# quillon's run includes opening the file (copying it into a block with its peak file), as the
# command line does. Each figure is the best of `runs` runs (default 3); the ratio quillon /
# ffmpeg below 1 means quillon is faster.
#
#   bench/render_vs_ffmpeg.sh [build-dir] [minutes] [runs]
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
minutes=${2:-60}
runs=${3:-3}
cli=$(realpath "$build/src/app/quillon-cli")
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$work"

echo "making $minutes minutes of stereo music-like audio..."
sox -n -r 44100 -c 2 -b 16 hour.wav synth "$((minutes * 60))" sine 110 sine 165 \
  tremolo 0.05 60 tremolo 1.7 40 vol 0.6

# shellcheck source=bench/best_of.sh
. "$bench_dir/best_of.sh"

cat hour.wav >/dev/null  # into the page cache for both
quillon=$(best_of "$cli" -q open hour.wav render w.png width=1280 height=240)
ffmpeg=$(best_of ffmpeg -v error -y -i hour.wav -filter_complex showwavespic=s=1280x240 \
  -frames:v 1 f.png)
[ -s w.png ] && [ -s f.png ] || { echo "a run did not write its picture" >&2; exit 1; }
echo "render 1280x240 of $minutes min: quillon-cli $quillon ms, ffmpeg showwavespic $ffmpeg ms," \
  "ratio $(awk -v a="$quillon" -v b="$ffmpeg" 'BEGIN { printf "%.2f", a / b }') (target 0.5)"
