#!/usr/bin/env bash
# soak-tests.sh [N]: builds, then runs the whole test suite (all but the
# benchmarks) N times (default 10) while two CPU-bound processes load the
# machine, to shake out tests that depend on timing or order. Each round runs
# the cases in a new order. Prints one line per round and a tally; exits
# non-zero if any round failed. Then the fault trials (scripts/fault-trials.sh:
# concurrent writers, signals, SIGKILL mid-commit, readers during commits,
# dialog saves racing the CLI), FAULT_TRIALS of each kind
# (default 200; 0 skips them). Last the mutation trials
# (scripts/mutation-trials.sh, about half an hour on 2 cores; MUTATION_TRIALS=0
# skips them).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-10}
case "$rounds" in '' | *[!0-9]*) echo "usage: $0 [ROUNDS]" >&2; exit 2 ;; esac

bash scripts/install-deps.sh
bash scripts/build.sh -DVELSEND_WERROR=ON

hogs=()
stop_hogs() {
    for pid in "${hogs[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${hogs[@]}"; do wait "$pid" 2>/dev/null || true; done
    hogs=()
}
trap stop_hogs EXIT
for _ in 1 2; do
    bash -c 'while :; do :; done' &
    hogs+=($!)
done
echo "two CPU hogs running (pids ${hogs[*]})"

logs=build/soak
mkdir -p "$logs"
passed=0
for round in $(seq 1 "$rounds"); do
    start=$SECONDS
    log="$logs/round-$round.log"
    if ctest --test-dir build -LE bench -j "$(nproc)" --schedule-random --output-on-failure >"$log" 2>&1; then
        passed=$((passed + 1))
        verdict=ok
    else
        verdict="FAILED (see $log)"
    fi
    summary=$(grep -E 'tests passed' "$log" | tail -n 1)
    printf 'round %2d/%d: %-8s %4ss  %s\n' "$round" "$rounds" "$verdict" $((SECONDS - start)) "$summary"
    grep -E '^\s+[0-9]+ - .*\((Failed|Timeout|Subprocess|Exception)' "$log" || true
done
stop_hogs
echo "soak: $passed of $rounds rounds passed under load"
faults=0
if [ "${FAULT_TRIALS:-200}" -gt 0 ]; then
    bash scripts/fault-trials.sh "${FAULT_TRIALS:-200}" || faults=1
fi
mutants=0
if [ "${MUTATION_TRIALS:-1}" -ne 0 ]; then
    bash scripts/mutation-trials.sh || mutants=1
fi
[ "$passed" -eq "$rounds" ] && [ "$faults" -eq 0 ] && [ "$mutants" -eq 0 ]
