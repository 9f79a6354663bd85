#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for SECONDS seconds from its corpus, two at a time,
# and prints for each: executions per second, coverage (edges) and whether it found anything.
#   run-fuzz.sh BUILD_DIR SECONDS
# Limits: 2 s an input (a hang), 512 MB (out of memory). Crashing inputs are kept in
# BUILD_DIR/artifacts; new interesting inputs join BUILD_DIR/corpus/<target>.
set -uo pipefail
build=${1:?build folder}
seconds=${2:?seconds}
jobs=${FUZZ_JOBS:-$(nproc)}
mkdir -p "$build/artifacts" "$build/logs"

# A smaller quarantine: freed memory kept for use-after-free checks would otherwise count
# towards the memory limit as if the target still held it.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32:detect_leaks=1}

run_one() {
    local name=$1
    "$build/fuzz/vsr_fuzz_$name" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=512 \
        -max_len=262144 -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
        "$build/corpus/$name" > "$build/logs/$name.log" 2>&1
}
export -f run_one
export build seconds

targets=$(cd "$build/fuzz" && ls vsr_fuzz_* | grep -v seeds | sed 's/^vsr_fuzz_//')
printf '%s\n' $targets | xargs -P "$jobs" -I{} bash -c 'run_one {}'

status=0
printf '%-10s %12s %8s %s\n' target 'execs/s' edges result
for name in $targets; do
    log="$build/logs/$name.log"
    rate=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')
    edges=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
    result=clean
    if grep -q -E '^==[0-9]+==ERROR|SUMMARY: |Test unit written' "$log" || ! grep -q 'Done [0-9]* runs' "$log"; then
        result="FOUND: see $log"
        status=1
    fi
    printf '%-10s %12s %8s %s\n' "$name" "${rate:-?}" "${edges:-?}" "$result"
done
exit $status
