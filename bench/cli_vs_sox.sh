#!/usr/bin/env bash
# The same jobs through quillon-cli and through sox on one hour of stereo 44.1 kHz audio, with the
# ratio quillon / sox for each (below 1: quillon is faster), then the wall time of cut, paste and
# undo on that hour-long document (segment-chain edits: milliseconds, whatever the length).
#
#   bench/cli_vs_sox.sh [build-dir] [minutes]
#
# Everything (the input, the outputs, settings and block files) lives in a temporary folder that
# is removed at the end. Needs sox.
set -euo pipefail
build=${1:-build}
minutes=${2:-60}
cli=$(realpath "$build/src/app/quillon-cli")
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_STATE_HOME=$work/state
cd "$work"

seconds=$((minutes * 60))
middle_start=$((seconds / 2 - 300))
echo "making $minutes minutes of stereo pink noise..."
sox -n -r 44100 -c 2 -b 16 in.wav synth "$seconds" pinknoise vol 0.3

now() { date +%s.%N; }
# Wall time of a command, in seconds.
timed() {
  local start end
  start=$(now)
  "$@" >/dev/null 2>&1
  end=$(now)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }' 
}
sync
q() { "$cli" -q --yes "$@"; }

# Each quillon figure is the difference between two runs that differ by one step, so the open
# is counted once, in its own line; sox's figures are measured the same way.
q_open=$(timed q open in.wav)
q_trim=$(timed q open in.wav select "${middle_start}s" "$((middle_start + 600))s" trim)
q_fade=$(timed q open in.wav select "${middle_start}s" "$((middle_start + 600))s" trim fade-in)
q_norm=$(timed q open in.wav select "${middle_start}s" "$((middle_start + 600))s" trim fade-in \
  normalize level=100)
q_save=$(timed q open in.wav select "${middle_start}s" "$((middle_start + 600))s" trim fade-in \
  normalize level=100 save-as out.wav)
s_open=$(timed sox -D in.wav -n)
s_trim=$(timed sox -D in.wav -n trim "$middle_start" 600)
s_fade=$(timed sox -D in.wav -n trim "$middle_start" 600 fade t 600)
s_norm=$(timed sox -D in.wav -n trim "$middle_start" 600 fade t 600 norm)
s_save=$(timed sox -D in.wav sox-out.wav trim "$middle_start" 600 fade t 600 norm)

ratio() {
  awk -v t="$1" -v q="$2" -v s="$3" \
    'BEGIN { printf "%-34s quillon %7.2f s   sox %7.2f s   ratio %5.2f\n", t, q, s, (s > 0 ? q / s : 0) }'
}
diff_of() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }
echo
ratio "open (read the whole file)" "$q_open" "$s_open"
ratio "trim to the middle 10 minutes" "$(diff_of "$q_trim" "$q_open")" "$(diff_of "$s_trim" "$s_open")"
ratio "fade in (10 minutes)" "$(diff_of "$q_fade" "$q_trim")" "$(diff_of "$s_fade" "$s_trim")"
ratio "normalize (10 minutes)" "$(diff_of "$q_norm" "$q_fade")" "$(diff_of "$s_norm" "$s_fade")"
ratio "save (10 minutes to WAV)" "$(diff_of "$q_save" "$q_norm")" "$(diff_of "$s_save" "$s_norm")"
ratio "the whole job" "$q_save" "$s_save"

echo
echo "edits on the $minutes-minute document (quillon-cli --timings):"
"$cli" -q --timings open in.wav select 600s 1200s cut select 1800s 1800s paste undo redo undo \
  2>&1 >/dev/null | grep -E '^time (cut|paste|undo|redo) ' | sed 's/^time /  /'
