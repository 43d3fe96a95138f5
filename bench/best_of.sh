# Sourced by the benchmark scripts.
# best_of COMMAND...: the best wall time of COMMAND over $runs runs (3 when unset), in
# milliseconds. `before`, when set (e.g. `before="rm -f out.wav; sync" best_of ...`), is evaluated
# before each run, untimed.
best_of() {
  local best="" t0 t1 ms
  for _ in $(seq "${runs:-3}"); do
    if [ -n "${before:-}" ]; then eval "$before"; fi
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    ms=$(((t1 - t0) / 1000000))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}
