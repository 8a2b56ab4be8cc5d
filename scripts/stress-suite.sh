#!/usr/bin/env bash
# Runs the whole test suite N times in build/ (as test.sh runs it: ctest with a session bus of its
# own) with two busy loops beside it, so that every run meets a loaded machine, and prints which
# tests failed in which run and a last line "P of N passed".
#   scripts/stress-suite.sh [N]   N runs, 10 when not given
# Builds build/ first when anything in it is out of date. The busy loops are ended however the
# script ends. The output of each run is kept in build/stress/run-<i>.log. Exits 1 when a run failed.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=${1:-10}
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [N]   (N: how many runs, at least 1)" >&2
    exit 2
fi

. scripts/setup.sh
orvik_build >/dev/null || { echo "the build in build/ failed" >&2; exit 1; }

busy=()
stop_busy() {
    local pid
    for pid in "${busy[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    busy=()
}
trap stop_busy EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for _ in 1 2; do
    (while :; do :; done) &
    busy+=($!)
done

logs=build/stress
mkdir -p "$logs"
passed=0
for ((run = 1; run <= runs; run++)); do
    log=$logs/run-$run.log
    dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)" >"$log" 2>&1
    status=$?
    # ctest names the failed tests after "The following tests FAILED:"; QtTest names the failed
    # functions on its "FAIL!" lines.
    failed=$(sed -n '/The following tests FAILED:/,$s/^[[:space:]]*[0-9]* - \(.*\)$/\1/p' "$log")
    if [ "$status" -eq 0 ] && [ -z "$failed" ]; then
        passed=$((passed + 1))
        echo "run $run of $runs: passed"
        continue
    fi
    echo "run $run of $runs: FAILED (log: $log)"
    [ -n "$failed" ] || failed="ctest ended with status $status"
    while IFS= read -r test; do
        echo "  run $run: $test"
    done <<<"$failed"
    grep -E '^(FAIL!|XPASS|QFATAL)|^   Loc: ' "$log" | sed "s/^/    /"
done
echo "$passed of $runs passed"
[ "$passed" -eq "$runs" ]
