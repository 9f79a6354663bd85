# What the comparison scripts share; sourced, with `build`, `seconds` and `rate` set.

tool="$build/bench/vsr_bench_decode"

# Stops unless every program given is there.
require_built() {
  local program
  for program in "$@"; do
    [ -x "$program" ] || { echo "$program is missing: build first (make build)" >&2; exit 1; }
  done
}

# A folder removed at exit, holding the benchmarks' recording.
write_recording() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  recording="$work/bench.vsr"
  echo "Writing a ${seconds} s recording at ${rate} pictures/s ..."
  "$tool" write "$recording" "$seconds" "$rate"
}

# The best of three runs of a command, in seconds: processor time (user + system) with
# `best_seconds cpu`, wall-clock time with `best_seconds wall`.
best_seconds() {
  local kind=$1 best="" run
  shift
  for _ in 1 2 3; do
    if [ "$kind" = cpu ]; then
      run=$( { TIMEFORMAT='%U %S'; time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
    else
      run=$( { TIMEFORMAT='%R'; time "$@" >/dev/null 2>&1; } 2>&1)
    fi
    if [ -z "$best" ] || awk -v a="$run" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$run; fi
  done
  echo "$best"
}
