#!/usr/bin/env bash
# The editor's start-up on a virtual X server (xvfb-run): the time from start to a shown main
# window, its resident memory with no document and with a one-hour stereo WAV open, the time
# the editor takes to open that hour against `quillon-cli open` of the same file, and the longest
# time the window went without handling events while it opened the hour. Each figure is the best
# of `runs` runs (default 3; the longest time without events: the worst) and is printed with its
# ratio to the target or the peer.
#
#   bench/editor_start.sh [build-dir] [minutes] [runs]
#
# `quillon --measure [FILE]` prints "shown_ms N rss_kb N longest_gap_ms N" once its window is
# shown and FILE is open, then quits. Everything lives in a temporary folder removed at the end.
# Needs sox, xvfb.
set -euo pipefail
build=$(realpath "${1:-build}")
minutes=${2:-60}
runs=${3:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
export XDG_RUNTIME_DIR=$work/runtime QUILLON_AUDIO_OUT=null QUILLON_AUDIO_IN=null
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cd "$work"
echo "making $minutes minutes of stereo pink noise..."
sox -n -r 44100 -c 2 -b 16 hour.wav synth $((minutes * 60)) pinknoise vol 0.3

# Runs the editor under one X server per run; prints "ms kb" of the best run (least ms) and the
# longest time without events of all runs.
editor() {
  local best_ms=999999 best_kb=0 worst_gap=0
  for _ in $(seq "$runs"); do
    read -r _ ms _ kb _ gap < <(xvfb-run -a -s '-screen 0 1280x720x24' \
      "$build/src/app/quillon" --measure "$@" 2>/dev/null | grep shown_ms)
    if [ "$ms" -lt "$best_ms" ]; then best_ms=$ms best_kb=$kb; fi
    if [ "$gap" -gt "$worst_gap" ]; then worst_gap=$gap; fi
  done
  echo "$best_ms $best_kb $worst_gap"
}
cli_open() {
  local best=999999
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(date +%s%N)
    "$build/src/app/quillon-cli" -q open hour.wav >/dev/null
    t1=$(date +%s%N)
    local ms=$(((t1 - t0) / 1000000))
    [ "$ms" -lt "$best" ] && best=$ms
  done
  echo "$best"
}

read -r empty_ms empty_kb _ < <(editor)
read -r doc_ms doc_kb doc_gap < <(editor hour.wav)
cli_ms=$(cli_open)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "start to shown window:   ${empty_ms} ms   ratio to 500 ms target: $(ratio "$empty_ms" 500)"
echo "resident, no document:   $((empty_kb / 1024)) MB   ratio to 80 MB target: $(ratio "$empty_kb" 81920)"
echo "resident, $minutes-min document: +$(((doc_kb - empty_kb) / 1024)) MB   ratio to +20 MB target: $(ratio "$((doc_kb - empty_kb))" 20480)"
open_ms=$((doc_ms - empty_ms))
echo "open in the editor:      ${open_ms} ms   quillon-cli open: ${cli_ms} ms   ratio: $(ratio "$open_ms" "$cli_ms") (target <= 1.10)"
echo "longest without events:  ${doc_gap} ms   ratio to 100 ms target: $(ratio "$doc_gap" 100)"
