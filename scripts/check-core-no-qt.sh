#!/usr/bin/env bash
# The core (everything in velsend_core) is plain C++: no Qt header may appear
# there. Qt lives only in src/gui/ and src/app/.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
while IFS= read -r -d '' file; do
    case "$file" in
        src/base/* | src/core/*) ;;
        *) continue ;;
    esac
    if hits=$(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](Q[A-Za-z]|qt[a-z]*/|Qt[A-Za-z]*/)' "$file"); then
        while IFS= read -r hit; do echo "core file includes Qt: $file:$hit"; done <<<"$hits"
        status=1
    fi
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)

[ $status -eq 0 ] && echo "core is free of Qt"
exit $status
