#!/usr/bin/env bash
# The Windows velsend-cli.exe under wine64 against the Linux velsend-cli, in
# a project folder with a Chinese name: the demo project both write is the
# same byte for byte, `show` prints the same bytes, and a commit killed
# between its renames (the test build velsend-cli-faults.exe with
# VELSEND_TEST_KILL_AFTER_RENAMES) is completed by the next command, giving
# the same project again.
#   scripts/wine-cli-checks.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
linux=${1:-build}/bin/velsend-cli
windows=${2:-build-windows}
. scripts/wine-env.sh
"$wineserver" -p5 >/dev/null 2>&1 </dev/null
work=$(mktemp -d)
trap '"$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT
exe() { "$wine" "$windows/bin/velsend-cli.exe" "$@"; }
faults_exe() { "$wine" "$windows/bin/velsend-cli-faults.exe" "$@"; }
folder=工程甲
failed=0
fail() {
    echo "FAILED: $*"
    failed=1
}
# same A B: the two project folders hold the same files, byte for byte. The
# history is left out: its steps carry the time and the program's name.
same() {
    if diff -r -x .velsend-lock -x .velsend-history "$1" "$2" >"$work/diff.txt"; then
        echo "same files: ${1#"$work"/} and ${2#"$work"/} ($(ls "$1" | wc -l) files)"
    else
        fail "project folders differ: $(head -5 "$work/diff.txt")"
    fi
}

mkdir -p "$work/linux/$folder" "$work/wine/$folder" "$work/killed/$folder"
"$linux" --dir "$work/linux/$folder" demo >/dev/null
exe --dir "Z:$work/wine/$folder" demo >/dev/null
same "$work/linux/$folder" "$work/wine/$folder"

for what in "devices 0" "devices 3" "names 0" phrases nodes info logic; do
    # shellcheck disable=SC2086  # two words: the table and its loop
    "$linux" --dir "$work/linux/$folder" show $what >"$work/linux.txt" 2>&1
    # shellcheck disable=SC2086
    exe --dir "Z:$work/wine/$folder" show $what >"$work/wine.txt" 2>&1
    if cmp -s "$work/linux.txt" "$work/wine.txt"; then
        echo "show $what: same $(wc -c <"$work/linux.txt") bytes"
    else
        fail "show $what differs: $(diff "$work/linux.txt" "$work/wine.txt" | head -5)"
    fi
done

status=0
VELSEND_TEST_KILL_AFTER_RENAMES=5 faults_exe --dir "Z:$work/killed/$folder" demo >/dev/null 2>&1 || status=$?
if [ $status -eq 0 ] || [ ! -f "$work/killed/$folder/.velsend-journal" ]; then
    fail "the killed demo exited $status and left no journal"
else
    echo "demo killed after 5 renames (exit $status), journal left"
fi
exe --dir "Z:$work/killed/$folder" show info >/dev/null
[ ! -e "$work/killed/$folder/.velsend-journal" ] || fail "the journal is still there"
same "$work/linux/$folder" "$work/killed/$folder"
exit $failed
