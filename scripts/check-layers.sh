#!/usr/bin/env bash
# The folders under src/ are the layers: base < core < gui < app, cli. From the
# #include lines it finds every include that points up a layer (or from one
# shell into the other) and every cycle between folders (core/<subsystem> and
# gui/<subsystem> count as folders of their own), prints each with a line that
# causes it, and fails when either count is above zero.
set -euo pipefail
cd "$(dirname "$0")/.."

# One line per include of a file of src/: "includer included src/includer:line".
edges() {
    find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z |
        # grep answers 1 for a batch of files without such an include: no error.
        { xargs -0 grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^">]+/[^">]+[">]' || true; } |
        sed -E 's|^src/([^:]+):([0-9]+):[^<"]*[<"]([^">]+)[">].*$|\1 \3 \2|' |
        while read -r file target line; do
            # An include that is not a file of src/ (a system or test header) is no edge.
            [ -f "src/$target" ] || continue
            echo "$file $target src/$file:$line"
        done
}

edges | awk '
# The layer folder of a path below src/: core/<subsystem>, gui/<subsystem> or
# the top folder.
function folder(path,    part, n) {
    n = split(path, part, "/")
    if ((part[1] == "core" || part[1] == "gui") && n > 2) return part[1] "/" part[2]
    return part[1]
}
function rank(f) {
    if (f == "base") return 0
    if (f ~ /^core\//) return 1
    if (f ~ /^gui\//) return 2
    return 3  # app, cli
}
# walk(n, depth): counts the simple paths from start back to start through
# folders numbered above start, so each cycle is counted once.
function walk(n, depth,    i, m, k, text) {
    path[depth] = n
    onpath[n] = 1
    for (i = 1; i <= outs[n]; i++) {
        m = out[n, i]
        if (m == start) {
            cycles++
            text = ""
            for (k = 0; k <= depth; k++) text = text name[path[k]] " -> "
            print "cycle: " text name[start]
            for (k = 0; k <= depth; k++)
                print "    " witness[path[k], (k < depth ? path[k + 1] : start)]
        } else if (m > start && !onpath[m]) {
            walk(m, depth + 1)
        }
    }
    onpath[n] = 0
}
{
    from = folder($1); to = folder($2); where = $3
    if (from == to) next
    if (rank(to) > rank(from) || (rank(to) == 3 && rank(from) == 3)) {
        upward++
        print "upward include: " where " (" from " -> " to ")"
    }
    if (!(from in id)) { id[from] = ++nodes; name[nodes] = from }
    if (!(to in id)) { id[to] = ++nodes; name[nodes] = to }
    a = id[from]; b = id[to]
    if (!((a, b) in witness)) {
        witness[a, b] = where
        out[a, ++outs[a]] = b
    }
}
END {
    for (start = 1; start <= nodes; start++) walk(start, 0)
    printf "%d folder cycles, %d upward includes\n", cycles, upward
    exit (cycles + upward > 0)
}'
