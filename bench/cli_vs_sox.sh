#!/usr/bin/env bash
# The same jobs through quillon-cli and through sox on one hour of stereo 44.1 kHz audio, with the
# ratio quillon / sox for each (below 1: quillon is faster), then the wall time of cut, paste and
# undo on that hour-long document (segment-chain edits: milliseconds, whatever the length).
#
#   bench/cli_vs_sox.sh [build-dir] [minutes] [runs]
#
# quillon's figures are the steps' own times (quillon-cli --timings) in one run of the whole job;
# sox does each job as its own command on the same data (the open as a full copy, the effects on
# the middle ten minutes). Every figure is the best of `runs` runs (default 3). Everything lives
# in a temporary folder that is removed at the end. Needs sox. quillon runs with 100 remembered
# files (the recent-files list at its largest), so every open and save pays for keeping it.
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
minutes=${2:-60}
runs=${3:-3}
cli=$(realpath "$build/src/app/quillon-cli")
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
cd "$work"

seconds=$((minutes * 60))
start=$((seconds / 2 - 300))
[ "$start" -ge 0 ] || { echo "at least 10 minutes, please" >&2; exit 2; }
echo "making $minutes minutes of stereo pink noise..."
sox -n -r 44100 -c 2 -b 16 in.wav synth "$seconds" pinknoise vol 0.3
sox in.wav middle.wav trim "$start" 600

# 100 remembered files, as a user's list holds them after a while.
remember() {
  mkdir -p config/quillon remembered
  { echo "[MRU]"
    for i in $(seq 0 99); do
      : >"remembered/$i.wav"
      echo "File$i=$work/remembered/$i.wav"
      echo "Time$i=$((1700000000 - i))"
    done
    echo "File100="; echo "Time100=0"; } >config/quillon/settings.ini
}
remember

# shellcheck source=bench/best_of.sh
. "$bench_dir/best_of.sh"

# quillon: the whole job once per run, keeping each step's best time.
declare -A step
total=""
for _ in $(seq "$runs"); do
  rm -f out.wav
  remember
  sync
  t0=$(date +%s%N)
  "$cli" -q --yes --timings open in.wav select "${start}s" "$((start + 600))s" trim fade-in \
    normalize level=100 save-as out.wav 2>timings.txt
  t1=$(date +%s%N)
  ms=$(((t1 - t0) / 1000000))
  if [ -z "$total" ] || [ "$ms" -lt "$total" ]; then total=$ms; fi
  while read -r _ name value _; do
    if [ -z "${step[$name]:-}" ] || awk -v a="$value" -v b="${step[$name]}" 'BEGIN { exit !(a < b) }'; then
      step[$name]=$value
    fi
  done < <(grep '^time ' timings.txt)
done

sox_open=$(before=sync best_of sox -D in.wav copy.wav)
sox_trim=$(before=sync best_of sox -D in.wav trimmed.wav trim "$start" 600)
sox_fade=$(before=sync best_of sox -D middle.wav faded.wav fade t 600)
sox_norm=$(before=sync best_of sox -D middle.wav normalized.wav norm)
sox_save=$(before=sync best_of sox -D middle.wav saved.wav)
# quillon's save makes the file durable before it replaces the old one; so does this copy.
sox_save_synced=$(before=sync best_of sh -c 'sox -D middle.wav synced.wav && sync synced.wav')
sox_all=$(before=sync best_of sox -D in.wav all.wav trim "$start" 600 fade t 600 norm)

ratio() {
  awk -v t="$1" -v q="$2" -v s="$3" 'BEGIN {
    printf "%-40s quillon %9.2f ms   sox %8.1f ms   ratio %6.3f\n", t, q, s, (s > 0 ? q / s : 0) }'
}
echo
ratio "open (against a full copy)" "${step[open]}" "$sox_open"
ratio "trim to the middle 10 minutes" "${step[trim]}" "$sox_trim"
ratio "fade in (10 minutes)" "${step[fade-in]}" "$sox_fade"
ratio "normalize (10 minutes)" "${step[normalize]}" "$sox_norm"
ratio "save (10 minutes to 16-bit WAV)" "${step[save-as]}" "$sox_save"
ratio "save (against a copy made durable)" "${step[save-as]}" "$sox_save_synced"
ratio "the whole job" "$total" "$sox_all"

echo
echo "edits on the $minutes-minute document (quillon-cli --timings, one run):"
"$cli" -q --timings open in.wav select 600s 1200s cut select 1800s 1800s paste undo redo undo \
  2>&1 >/dev/null | grep -E '^time (cut|paste|undo|redo) ' | sed 's/^time /  /'
