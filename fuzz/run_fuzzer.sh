#!/usr/bin/env bash
# run_fuzzer.sh TARGET SECONDS CORPUS_DIR VELSEND_CLI [extra libFuzzer flags]
# Seeds CORPUS_DIR with the demo project's files on first use, then fuzzes.
set -euo pipefail
target=$1 seconds=$2 corpus=$3 cli=$4
shift 4
if [ ! -d "$corpus" ] || [ -z "$(ls -A "$corpus")" ]; then
    mkdir -p "$corpus"
    demo=$(mktemp -d)
    trap 'rm -rf "$demo"' EXIT
    "$cli" --dir "$demo" demo >/dev/null
    cp "$demo"/* "$corpus"/
    # Targets that read something else than project files bring their own seeds.
    seeds=$(dirname "$0")/seeds/$(basename "$target")
    if [ -d "$seeds" ]; then cp "$seeds"/* "$corpus"/; fi
fi
exec "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$@" "$corpus"
