#!/usr/bin/env bash
# Runs the same burner session twice against velsend-burner-sim: once with
# the Linux velsend-cli, once with the Windows velsend-cli.exe under wine64
# talking to a Wine COM port that is a link to the simulator's
# pseudo-terminal. The session: a 4-loop device transfer, logic, phrases, an
# erase, a backup and a restore. The two simulator logs must be the same
# apart from their time stamps; prints the wall time of the device transfer
# both ways.
#   scripts/wine-serial-run.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}
windows=${2:-build-windows}
. scripts/wine-env.sh
# A server of our own, started here so that its diagnostics stay out of the
# CLI's output and it does not wait around after the runs.
"$wineserver" -p5 >/dev/null 2>&1 </dev/null
work=$(mktemp -d)
sim_pid=
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    rm -f "$WINEPREFIX/dosdevices/com9"
    "$wineserver" -k 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }

# session NAME CLI...: one simulator, the whole session, its log kept.
session() {
    local name=$1
    shift
    local dir=$work/$name
    mkdir -p "$dir/project"
    "$linux/bin/velsend-cli" --dir "$dir/project" demo >/dev/null
    "$linux/bin/velsend-burner-sim" --log "$dir/sim.log" >"$dir/sim.out" 2>&1 &
    sim_pid=$!
    local tries=0
    until [ -s "$dir/sim.out" ] || [ $tries -ge 50 ]; do sleep 0.1; tries=$((tries + 1)); done
    local pts
    pts=$(head -n 1 "$dir/sim.out")
    local port=$pts project=$dir/project image=$dir/chip.bin
    if [ "$name" = wine ]; then
        ln -sfn "$pts" "$WINEPREFIX/dosdevices/com9"
        port=COM9 project=Z:$dir/project image=Z:$dir/chip.bin
    fi
    local run=("$@" --dir "$project" --port "$port" --yes)
    local start end
    start=$(now)
    "${run[@]}" --loops 0-3 send devices >"$dir/out.txt" 2>&1
    end=$(now)
    echo "$name: 4-loop device transfer $(echo "$end - $start" | bc) s"
    "${run[@]}" --logic 0-15 send logic >>"$dir/out.txt" 2>&1
    "${run[@]}" --phrases 0-255 send phrases >>"$dir/out.txt" 2>&1
    "${run[@]}" erase >>"$dir/out.txt" 2>&1
    "${run[@]}" backup "$image" >>"$dir/out.txt" 2>&1
    "${run[@]}" restore "$image" >>"$dir/out.txt" 2>&1
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
    cut -d' ' -f3- "$dir/sim.log" >"$dir/bytes.txt"
    echo "$name: $(wc -l <"$dir/bytes.txt") bytes on the line; what the CLI said:"
    grep -vE '^([0-9]+/[0-9]+|[0-9]+%)$' "$dir/out.txt" | sed 's/^/    /' 
}

session linux "$linux/bin/velsend-cli"
session wine "$wine" "$windows/bin/velsend-cli.exe"
if cmp -s "$work/linux/bytes.txt" "$work/wine/bytes.txt"; then
    echo "simulator logs identical apart from time stamps"
else
    echo "simulator logs DIFFER:"
    diff "$work/linux/bytes.txt" "$work/wine/bytes.txt" | head -20
    echo "--- Linux CLI said:"; cat "$work/linux/out.txt"
    echo "--- Windows CLI said:"; cat "$work/wine/out.txt"
    exit 1
fi
