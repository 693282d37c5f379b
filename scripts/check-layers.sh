#!/usr/bin/env bash
# The folders under src/ are the layers: base < core < pdf < gui < app, cli.
# From the #include lines it finds every include that points up a layer (or
# from one shell into the other, or from the CLI into gui/) and every cycle
# between folders (core/<subsystem> and gui/<subsystem> count as folders of
# their own), prints each with a line that causes it, and fails when either
# count is above zero. It then checks that every file's namespace follows its
# folder (see namespace_for below) and fails on each one that does not.
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
    if (f == "pdf") return 1.5  # Qt Gui without widgets, below both shells
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
    # The command line stands beside the GUI, not on it.
    if (rank(to) > rank(from) || (rank(to) == 3 && rank(from) == 3) ||
        (from == "cli" && to ~ /^gui\//)) {
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

# A file's namespace follows its folder: src/base -> velsend::base,
# src/base/platform/** -> velsend::platform, src/core/<sub> -> velsend::<sub>,
# src/gui/<sub> -> velsend::gui::<sub>, src/pdf -> velsend::pdf, src/app ->
# velsend::app, src/cli -> velsend::cli; namespaces nested below that are
# fine. A block that only declares other namespaces' classes ahead is no
# definition and may name any namespace.
find src -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z | xargs -0 awk '
function namespace_for(path,    part, n) {
    n = split(path, part, "/")
    if (part[2] == "base" && part[3] == "platform") return "velsend::platform"
    if ((part[2] == "core" || part[2] == "gui") && n > 3)
        return (part[2] == "gui" ? "velsend::gui::" : "velsend::") part[3]
    return "velsend::" part[2]
}
function judge(    want) {
    if (open == "" || !defines) return
    want = namespace_for(opened_in)
    if (open != want && index(open, want "::") != 1) {
        wrong++
        print "namespace not of its folder: " opened_in ":" opened_at " (" open ", want " want ")"
    }
}
FNR == 1 { open = "" }
/^namespace velsend[a-z_:]* \{/ {
    open = $2; opened_in = FILENAME; opened_at = FNR; defines = 0
    # a block on one line: "namespace velsend::x { class Y; }"
    if ($0 ~ /\}/) { line = $0; sub(/^[^{]*\{/, "", line); sub(/\}.*$/, "", line)
                     if (line !~ /^[[:space:]]*((class|struct|enum class) [A-Za-z_0-9]+;[[:space:]]*)*$/) defines = 1
                     judge(); open = "" }
    next
}
open != "" && /^\}/ { judge(); open = ""; next }
open != "" && !/^[[:space:]]*$/ && !/^[[:space:]]*\/\// && !/^[[:space:]]*(class|struct|enum class) [A-Za-z_0-9]+( : [A-Za-z_0-9:]+)?;[[:space:]]*$/ { defines = 1 }
END {
    printf "%d namespaces not of their folder\n", wrong
    exit (wrong > 0)
}'
