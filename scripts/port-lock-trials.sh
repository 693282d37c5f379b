#!/usr/bin/env bash
# port-lock-trials.sh [TRIALS] [BUILD_DIR]: a second program against a running
# transfer. Each trial starts velsend-burner-sim and a paced `send devices` of
# two loops, then, once the send holds the port, runs `erase` on it again and
# again until the send ends. Counts the erases refused as busy, the erases that got the port while
# the send was still running (must be 0) and the sends that did not succeed
# (must be 0). Exits non-zero when either count is not 0.
set -uo pipefail
cd "$(dirname "$0")/.."
trials=${1:-200}
bin=${2:-build}/bin
case "$trials" in '' | *[!0-9]*) echo "usage: $0 [TRIALS] [BUILD_DIR]" >&2; exit 2 ;; esac
[ -x "$bin/velsend-cli" ] && [ -x "$bin/velsend-burner-sim" ] || {
    echo "$0: build velsend-cli and velsend-burner-sim first" >&2
    exit 2
}

work=$(mktemp -d "${TMPDIR:-/tmp}/velsend-lock-XXXXXX")
sim=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export VELSEND_LOCK_DIR="$work"

refused=0 intruded=0 failed=0
for trial in $(seq 1 "$trials"); do
    "$bin/velsend-burner-sim" --model 2 >"$work/port" &
    sim=$!
    for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.01; done
    port=$(head -n 1 "$work/port")
    "$bin/velsend-cli" --dir "$work" --port "$port" --loops 0-1 --pace 2 send devices \
        >"$work/send.out" 2>&1 &
    send=$!
    # Erases start once the send holds the port; one that came first would
    # rightly keep the send out instead.
    until [ -e "$work"/LCK..* ] || ! kill -0 "$send" 2>/dev/null; do sleep 0.002; done
    while kill -0 "$send" 2>/dev/null; do
        if "$bin/velsend-cli" --dir "$work" --port "$port" erase >"$work/erase.out" 2>&1; then
            # Got the port: only allowed once the send has let go of it.
            if kill -0 "$send" 2>/dev/null && [ -e "$work"/LCK..* ]; then
                intruded=$((intruded + 1))
            fi
        elif grep -q "正被另一个程序使用" "$work/erase.out"; then
            refused=$((refused + 1))
        fi
    done
    wait "$send" || failed=$((failed + 1))
    kill "$sim" 2>/dev/null
    wait "$sim" 2>/dev/null
    sim=
    rm -f "$work/port"
    [ $((trial % 50)) -eq 0 ] && echo "$trial trials: $refused erases refused, $intruded got in, $failed sends failed"
done
echo "$trials trials: $refused erases refused as busy, $intruded erases got the port during a send, $failed sends failed"
[ "$intruded" -eq 0 ] && [ "$failed" -eq 0 ]
