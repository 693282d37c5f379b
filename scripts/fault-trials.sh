#!/usr/bin/env bash
# fault-trials.sh [TRIALS [KINDS]]: concurrency and signal trials against the
# built velsend-cli (build/bin, or $VELSEND_CLI), TRIALS of each kind (default
# 200) of KINDS (default all: "concurrent edits signals kills readers"):
#   concurrent   two 256-loop excel-imports started 40 ms apart: the project
#                must end as exactly one of the two workbooks (the one that
#                ran last, or the only one when the other was refused)
#   edits        two quick-sets on one loop at once, each on its own
#                addresses: both edits must be there, as two steps that
#                undo to the project before them
#   signals      SIGTERM, SIGINT or SIGHUP at a random moment of excel-import,
#                copy-loop, print, sd-import, excel-export or velnet-import:
#                exit 0 or 130, no temporary file anywhere, an import's project
#                one workbook or the other
#   kills        SIGKILL at a random moment of an import, then `show info`:
#                the project one workbook or the other, no temporary file;
#                the history holds the import's step exactly when the project
#                holds the import, and undoing it gives the project before it
#   readers      `diff` of the project against workbook a's at a random
#                moment of an import of b: the reader sees a or b, never a mix
#   dialogs      a dialog's save (velsend-dialog-save: the detail dialog, the
#                logic rule editor, the phrase editor) shown before and saved
#                at a random moment of a CLI writer of the same file (another
#                record, or the very record): no edit is lost; a save refused
#                because its record changed keeps the other writer's
# Both concurrent trials check the history too: the newest step is the
# command whose result the project holds, and no step is torn.
# Prints the counts; exits non-zero unless every count of faults is 0.
set -euo pipefail
cd "$(dirname "$0")/.."
trials=${1:-200}
kinds=" ${2:-concurrent edits signals kills readers dialogs} "
want() { [[ "$kinds" == *" $1 "* ]]; }
case "$trials" in '' | *[!0-9]*) echo "usage: $0 [TRIALS]" >&2; exit 2 ;; esac
cli=${VELSEND_CLI:-$PWD/build/bin/velsend-cli}
[ -x "$cli" ] || { echo "build velsend-cli first (build/bin/velsend-cli)" >&2; exit 2; }
# The kills between renames need the test build with the fault seam.
faults_cli=${VELSEND_FAULTS_CLI:-$(dirname "$cli")/velsend-cli-faults}
[ -x "$faults_cli" ] || { echo "build velsend-cli-faults first (the tests build it)" >&2; exit 2; }
dialog_save=${VELSEND_DIALOG_SAVE:-$(dirname "$cli")/velsend-dialog-save}
[ -x "$dialog_save" ] || { echo "build velsend-dialog-save first (the tests build it)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/velsend-trials.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

# The state of a project: every file but the lock file, with its bytes.
state() { (cd "$1" && find . -maxdepth 1 -type f ! -name .velsend-lock -print0 | sort -z | xargs -0 -r md5sum) | md5sum | cut -c1-32; }
temps() { find "$work" -name '*.part-*' | wc -l; }
ms_sleep() { sleep "$(printf '0.%03d' "$1")"; }
# Until process $1 catches SIGTERM (its handlers are in place) or is gone: a
# signal before that meets the loader, not the program.
wait_ready() {
    local mask
    while [ -e "/proc/$1" ]; do
        # The CLI itself (not the shell about to exec it), its mask read after.
        if [ "$(readlink "/proc/$1/exe" 2>/dev/null)" = "$cli" ]; then
            mask=$(awk '/^SigCgt/ {print $2}' "/proc/$1/status" 2>/dev/null) || return 0
            [ -n "$mask" ] || return 0
            (( (16#$mask >> 14) & 1 )) && return 0
        fi
        sleep 0.001
    done
}

# Two workbooks of 256 loops that differ in every loop.
for which in a b; do
    p=$work/src-$which
    "$cli" --dir "$p" demo >/dev/null
    [ "$which" = b ] && "$cli" --dir "$p" quick-set --loop 0 --from 0 --to 255 --class zone >/dev/null
    for loop in $(seq 1 255); do cp "$p/devc0.dat" "$p/devc$loop.dat"; cp "$p/ch0.dat" "$p/ch$loop.dat"; done
    "$cli" --dir "$p" excel-export "$work/$which.xlsx" >/dev/null
    done
# ref-a: the workbook a imported into an empty folder; ref-b: b imported over ref-a.
mkdir -p "$work/ref-a"
"$cli" --dir "$work/ref-a" excel-import "$work/a.xlsx" --family ka >/dev/null
cp -a "$work/ref-a" "$work/ref-b"
"$cli" --dir "$work/ref-b" excel-import "$work/b.xlsx" --family ka >/dev/null
ref_a=$(state "$work/ref-a")
ref_b=$(state "$work/ref-b")
"$cli" --dir "$work/src-a" sd-pack --id 1 --start-loop 0 >/dev/null
mkdir -p "$work/velnet"
for loop in 00 01 02 03; do
    for stem in devc plac logc; do head -c 40000 /dev/urandom >"$work/velnet/$stem$loop.dat"; done
done

fresh() { rm -rf "$1"; cp -a "$work/ref-a" "$1"; }

# History lines of a project (newest first: number, time, program, what).
steps() { "$cli" --dir "$1" history 2>/dev/null | wc -l; }
newest() { "$cli" --dir "$1" history 2>/dev/null | head -1 | cut -f4; }
base_steps=$(steps "$work/ref-a")
# Project $1 in state $2 and its history agree: b's import is there exactly
# when its step is.
history_agrees() {
    local n w
    n=$(steps "$1")
    w=$(newest "$1")
    if [ "$2" = "$ref_b" ]; then
        [ "$w" = "从Excel导入 b.xlsx" ] || return 1
    elif [ "$2" = "$ref_a" ]; then
        [ "$n" -eq "$base_steps" ] || [ "$w" = "从Excel导入 a.xlsx" ] || return 1
    fi
}

mixed=0 lost=0 left=0 refused=0 stopped=0 badexit=0 torn=0 views=0 clashes=0 saved_first=0
if want concurrent; then
echo "concurrent imports: $trials trials"
for i in $(seq 1 "$trials"); do
    p=$work/c
    fresh "$p"
    "$cli" --dir "$p" excel-import "$work/a.xlsx" --family ka >/dev/null 2>&1 &
    first=$!
    ms_sleep 40
    set +e
    "$cli" --dir "$p" excel-import "$work/b.xlsx" --family ka >/dev/null 2>"$work/err"
    second=$?
    wait "$first"
    first_status=$?
    set -e
    s=$(state "$p")
    if [ "$second" -ne 0 ]; then
        refused=$((refused + 1))
        grep -q '正被另一个程序使用' "$work/err" || badexit=$((badexit + 1))
        [ "$s" = "$ref_a" ] || mixed=$((mixed + 1))
    else
        # both ran, one after the other (either may have got the lock first)
        [ "$s" = "$ref_a" ] || [ "$s" = "$ref_b" ] || {
            mixed=$((mixed + 1))
            echo "  mixed (first exited $first_status):" $(diff -rq -x .velsend-lock "$p" "$work/ref-b" | head -3)
        }
    fi
    history_agrees "$p" "$s" || { torn=$((torn + 1)); echo "  concurrent trial $i: history and project disagree"; }
done
echo "  mixed projects: $mixed, second refused: $refused"
fi

if want edits; then
echo "concurrent quick-sets: $trials trials"
for i in $(seq 1 "$trials"); do
    p=$work/e
    fresh "$p"
    "$cli" --dir "$p" quick-set --loop 7 --from 0 --to 9 --class module >/dev/null 2>&1 &
    first=$!
    "$cli" --dir "$p" quick-set --loop 7 --from 100 --to 109 --class borrowed >/dev/null 2>"$work/err" ||
        { lost=$((lost + 1)); echo "  quick-set failed: $(cat "$work/err")"; }
    wait "$first" || { lost=$((lost + 1)); echo "  quick-set failed"; }
    shown=$("$cli" --dir "$p" show devices 7)
    echo "$shown" | grep -Eq '^0[[:space:]].*模块' || { lost=$((lost + 1)); echo "  lost: $(echo "$shown" | grep -E '^0[[:space:]]')"; }
    echo "$shown" | grep -Eq '^100[[:space:]].*借用' || { lost=$((lost + 1)); echo "  lost: $(echo "$shown" | grep -E '^100[[:space:]]')"; }
    # Two steps, one after the other: undoing both gives the project before either.
    if [ "$(steps "$p")" -ne $((base_steps + 2)) ] || ! "$cli" --dir "$p" undo >/dev/null 2>&1 ||
        ! "$cli" --dir "$p" undo >/dev/null 2>&1 || [ "$(state "$p")" != "$ref_a" ]; then
        torn=$((torn + 1)); echo "  quick-set trial $i: the two steps do not undo to the project before them"
    fi
done
echo "  lost edits: $lost"
fi

commands=(import copy print sdimport export velnet)
# Run in the background as `run_command ... &`: exec makes $! the CLI itself.
run_command() {
    local p=$1
    case $2 in
        import) exec "$cli" --dir "$p" excel-import "$work/b.xlsx" --family ka ;;
        copy) exec "$cli" --dir "$p" copy-loop 3 200 ;;
        print) exec "$cli" --dir "$p" print ;;
        sdimport) exec "$cli" --dir "$p" sd-import "$work/src-a/MXKA001.dat" --family ka --start-loop 16 ;;
        export) exec "$cli" --dir "$p" excel-export "$work/out/x.xlsx" ;;
        velnet) exec "$cli" --dir "$p" velnet-import --from 0 --to 3 --source "$work/velnet" ;;
    esac
}
mkdir -p "$work/out"
if want signals; then
echo "signals: $trials trials"
signals=(TERM INT HUP)
for i in $(seq 1 "$trials"); do
    p=$work/s
    fresh "$p"
    what=${commands[$((i % ${#commands[@]}))]}
    sig=${signals[$((i % 3))]}
    run_command "$p" "$what" >/dev/null 2>&1 &
    pid=$!
    wait_ready "$pid"
    ms_sleep $((RANDOM % 150))
    kill -s "$sig" "$pid" 2>/dev/null || true
    set +e
    wait "$pid"
    status=$?
    set -e
    case $status in
        0) ;;
        130) stopped=$((stopped + 1)) ;;
        *) badexit=$((badexit + 1)); echo "  $what SIG$sig: exit $status" ;;
    esac
    n=$(temps)
    [ "$n" -eq 0 ] || { left=$((left + n)); echo "  $what SIG$sig: $n temporary files left"; find "$work" -name '*.part-*' -delete; }
    if [ "$what" = import ]; then
        s=$(state "$p")
        [ "$s" = "$ref_a" ] || [ "$s" = "$ref_b" ] || mixed=$((mixed + 1))
    fi
done
echo "  stopped with 130: $stopped"
fi

if want kills; then
echo "SIGKILL: $trials trials"
for i in $(seq 1 "$trials"); do
    p=$work/k
    fresh "$p"
    if [ $((i % 2)) -eq 0 ]; then
        # between the renames of the commit, through the test hook
        { (cli=$faults_cli VELSEND_TEST_KILL_AFTER_RENAMES=$((RANDOM % 512)) run_command "$p" import) >/dev/null 2>&1; } 2>/dev/null || true
    else
        run_command "$p" import >/dev/null 2>&1 &
        pid=$!
        ms_sleep $((RANDOM % 400))
        kill -s KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    "$cli" --dir "$p" show info >/dev/null
    s=$(state "$p")
    [ "$s" = "$ref_a" ] || [ "$s" = "$ref_b" ] || { mixed=$((mixed + 1)); echo "  SIGKILL trial $i: a mixed project"; }
    # The change and its step: together or neither.
    n=$(steps "$p")
    if [ "$s" = "$ref_b" ]; then
        if [ "$n" -ne $((base_steps + 1)) ] || [ "$(newest "$p")" != "从Excel导入 b.xlsx" ]; then
            torn=$((torn + 1)); echo "  SIGKILL trial $i: the import without its step"
        elif ! "$cli" --dir "$p" undo >/dev/null 2>&1 || [ "$(state "$p")" != "$ref_a" ]; then
            torn=$((torn + 1)); echo "  SIGKILL trial $i: the import's step does not undo it"
        fi
    elif [ "$n" -ne "$base_steps" ]; then
        torn=$((torn + 1)); echo "  SIGKILL trial $i: a step without its import"
    fi
    n=$(temps)
    [ "$n" -eq 0 ] || { left=$((left + n)); echo "  SIGKILL trial $i: $n temporary files left"; find "$work" -name '*.part-*' -delete; }
done

fi

if want readers; then
echo "readers during imports: $trials trials"
# What diff says of project b against a: a reader that saw b says exactly this.
set +e
"$cli" diff "$work/ref-b" "$work/ref-a" >"$work/diff-b" 2>/dev/null
set -e
for i in $(seq 1 "$trials"); do
    p=$work/r
    fresh "$p"
    VELSEND_LOCK_WAIT_MS=60000 "$cli" --dir "$p" excel-import "$work/b.xlsx" --family ka >/dev/null 2>&1 &
    pid=$!
    ms_sleep $((RANDOM % 400))
    set +e
    VELSEND_LOCK_WAIT_MS=60000 "$cli" diff "$p" "$work/ref-a" >"$work/view" 2>"$work/err"
    status=$?
    wait "$pid"
    set -e
    case $status in
        0) ;;
        1) cmp -s "$work/view" "$work/diff-b" || { views=$((views + 1)); echo "  reader trial $i: a mixed view"; } ;;
        *) badexit=$((badexit + 1)); echo "  reader trial $i: diff exited $status: $(head -1 "$work/err")" ;;
    esac
done
echo "  mixed views: $views"
fi

if want dialogs; then
echo "dialog saves racing CLI writers: $trials trials"
mkfifo "$work/go"
# A saver that ended early must not take the script with it.
trap '' PIPE
# Which of two steps ("program<TAB>what") is the newer ("" when neither is there).
newer_of() { "$cli" --dir "$1" history 2>/dev/null | cut -f3,4 | grep -m1 -Fx -e "$2" -e "$3" || true; }
dialog=$(printf 'velsend-dialog-save\t')
by_cli=$(printf 'velsend-cli\t')
# Column $2 of address $3 in `show devices 7` (3 class, 6 zone).
device_field() { "$cli" --dir "$1" show devices 7 | awk -v a="$3" -v c="$2" '$1 == a { print $c }'; }
for i in $(seq 1 "$trials"); do
    p=$work/d
    fresh "$p"
    case $((i % 5)) in
        0) saver=(device 7 50 77) writer=(quick-set --loop 7 --from 100 --to 110 --class borrowed) ;;
        1) saver=(device 7 105 77) writer=(quick-set --loop 7 --from 100 --to 110 --class borrowed) ;;
        2) saver=(logic 5 T07001=M07030) writer=(logic set 6 T01001=M01031) ;;
        3) saver=(logic 5 T07001=M07030) writer=(logic set 5 T01001=M01031) ;;
        4) saver=(phrase 60 PUMP) writer=(phrases clear) ;;
    esac
    VELSEND_LOCK_WAIT_MS=60000 "$dialog_save" "$p" "${saver[@]}" <"$work/go" >"$work/shown" 2>"$work/saver-err" &
    saver_pid=$!
    exec 3>"$work/go"
    until grep -q shown "$work/shown" || ! kill -0 "$saver_pid" 2>/dev/null; do sleep 0.001; done
    VELSEND_LOCK_WAIT_MS=60000 "$cli" --dir "$p" "${writer[@]}" >/dev/null 2>"$work/err" &
    writer_pid=$!
    ms_sleep $((RANDOM % 40))
    echo go >&3 || true
    exec 3>&-
    set +e
    wait "$saver_pid"
    saved=$?
    wait "$writer_pid"
    wrote=$?
    set -e
    [ "$wrote" -eq 0 ] || { badexit=$((badexit + 1)); echo "  dialog trial $i: ${writer[*]} exited $wrote: $(head -1 "$work/err")"; }
    case $saved in
        0) ;;
        3) clashes=$((clashes + 1))
           grep -q "已被另一个程序改动" "$work/saver-err" || { badexit=$((badexit + 1)); echo "  dialog trial $i: refused: $(head -1 "$work/saver-err")"; } ;;
        *) badexit=$((badexit + 1)); echo "  dialog trial $i: ${saver[*]} exited $saved" ;;
    esac
    # What each writer must have left, given which of them (if both wrote) was last.
    fault=
    case $((i % 5)) in
        0)
            [ "$saved" -eq 0 ] || fault="a save of another address was refused"
            [ "$(device_field "$p" 3 50) $(device_field "$p" 6 50)" = "模块 77" ] || fault="the dialog's device 50 is lost"
            [ "$(device_field "$p" 3 110)" = "借用" ] || fault="quick-set's device 110 is lost"
            ;;
        1 | 3)
            if [ $((i % 5)) -eq 1 ]; then
                ours_step="${dialog}详细设置：回路 7 地址 105"
                last=$(newer_of "$p" "$ours_step" "${by_cli}快速设置：回路 7 地址 100–110")
                now=$(device_field "$p" 3 105)
                theirs=借用 ours=模块
            else
                ours_step="${dialog}逻辑设置：逻辑 5"
                last=$(newer_of "$p" "$ours_step" "${by_cli}逻辑设置：逻辑 5")
                now=$("$cli" --dir "$p" show logic | awk -F '\t' '$1 == 5 { print $2 }')
                theirs=T01001=M01031 ours=T07001=M07030
            fi
            # The dialog's edit is there exactly when its save was the last write.
            expect=$theirs
            [ "$last" = "$ours_step" ] && expect=$ours
            [ "$saved" -eq 0 ] && saved_first=$((saved_first + 1))
            [ "$now" = "$expect" ] || fault="the record is not the last writer's (last: ${last:-none})"
            ;;
        2)
            "$cli" --dir "$p" show logic >"$work/view"
            grep -qFx "$(printf '5\tT07001=M07030')" "$work/view" || fault="the dialog's rule 5 is lost"
            grep -qFx "$(printf '6\tT01001=M01031')" "$work/view" || fault="the CLI's rule 6 is lost"
            ;;
        4)
            last=$(newer_of "$p" "${dialog}词库编辑：词组 60" "${by_cli}词库全部初始化为空")
            want_count=0
            [ "$saved" -eq 0 ] && [ "$last" = "${dialog}词库编辑：词组 60" ] && want_count=1
            "$cli" --dir "$p" show phrases | head -1 | grep -q "：$want_count 个词组" || fault="the phrases are not the last writer's ($last)"
            [ "$want_count" -eq 0 ] || "$cli" --dir "$p" show phrases | grep -Eq '^60[[:space:]]+"PUMP"' || fault="the dialog's phrase 60 is lost"
            ;;
    esac
    [ -z "$fault" ] || { lost=$((lost + 1)); echo "  dialog trial $i (${saver[*]} / ${writer[*]}): $fault"; }
    # A save that was done has its step; a refused one has none.
    [ "$("$cli" --dir "$p" history 2>/dev/null | cut -f3 | grep -c velsend-dialog-save)" -eq $((saved == 0)) ] ||
        { torn=$((torn + 1)); echo "  dialog trial $i: the save and its step disagree (exit $saved)"; }
done
echo "  lost edits: $lost; saves of a record the CLI wrote too: $clashes refused (it changed after it was shown), $saved_first saved before the CLI wrote it"
fi

echo "fault trials ($trials of each kind): $mixed mixed projects, $views mixed views, $lost lost edits, $left temporary files left, $badexit unexpected exits, $torn changes and steps apart"
[ "$mixed" -eq 0 ] && [ "$views" -eq 0 ] && [ "$lost" -eq 0 ] && [ "$left" -eq 0 ] && [ "$badexit" -eq 0 ] && [ "$torn" -eq 0 ]
