#!/usr/bin/env bash
# Layers run one way: a file under src/ may include only headers of its own layer or a lower one.
# Scans every #include "..." line under <root>/src (default: the checkout) and fails naming each
# include that points up, or into a folder that has no rank. Folders (src/<layer>/<module>) must
# not include each other in a circle either: each circle is named with the includes that close
# it, and fails unless it is one of the known circles (scripts/layers.circles), member for member (a circle that
# grows, shrinks or splits fails until the list says so).
#   usage: layers.sh [root]
set -u
root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}

# Rank of each top folder under src/ (and of the resource ids shared with res/).
#   0 Common    records and interfaces every layer shares (package records, link records, sinks)
#   0 res       resource ids
#   1 Library   maths, coordinates, image and format readers, ADPCM
#   1 LW        the LightWave object reader
#   2 System    start-up services, devices, draw and texture managers, object model, sound
#   3 App       the program: flows, scene runtime, benchmark, control panel, effects, viewer
ranks='Common 0
resource.h 0
Library 1
LW 1
System 2
App 3'

# Circles between folders that are still there: <root>/scripts/layers.circles, one a line, members
# sorted and space-separated (a tree without the file may have none).
known=$(grep -v '^#' "$root/scripts/layers.circles" 2>/dev/null)

cd "$root/src" || { echo "layers: no src under $root" >&2; exit 2; }
grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' . |
awk -v ranks="$ranks" -v known="$known" '
    BEGIN {
        n = split(ranks, row, "\n")
        for (i = 1; i <= n; i++) { split(row[i], f, " "); rank[f[1]] = f[2] }
        bad = 0
    }
    {
        file = $0; sub(/^\.\//, "", file); sub(/:.*/, "", file)
        line = $0; sub(/^[^:]*:/, "", line); sub(/:.*/, "", line)
        inc = $0; sub(/^[^"]*"/, "", inc); sub(/".*/, "", inc)
        split(file, a, "/"); split(inc, b, "/")
        if (!(a[1] in rank)) { printf "src/%s:%s: file outside every layer\n", file, line; bad++; next }
        # A bare name is a header beside the file: same module.
        if (index(inc, "/") == 0 && !(inc in rank)) next
        if (!(b[1] in rank)) { printf "src/%s:%s: \"%s\" is in no layer\n", file, line, inc; bad++; next }
        if (rank[b[1]] > rank[a[1]]) {
            printf "src/%s:%s: %s (%d) includes %s (%d): \"%s\"\n", file, line, a[1], rank[a[1]], b[1], rank[b[1]], inc
            bad++
        }
        # The folder graph: a module folder is src/<layer>/<module>, a file straight under a layer
        # belongs to the layer.
        from = _folder(file); to = _folder(inc)
        if (from != to) {
            if (!(from in node)) { node[from] = ++nodes; name[nodes] = from }
            if (!(to in node)) { node[to] = ++nodes; name[nodes] = to }
            if (!((node[from], node[to]) in edge)) edge[node[from], node[to]] = "src/" file ":" line " includes \"" inc "\""
        }
    }
    function _folder(path,   p, n) {
        n = split(path, p, "/")
        return n >= 3 ? p[1] "/" p[2] : p[1]
    }
    END {
        # Which folder reaches which (through any chain of includes).
        for (key in edge) reach[key] = 1
        for (k = 1; k <= nodes; k++)
            for (i = 1; i <= nodes; i++)
                if ((i, k) in reach)
                    for (j = 1; j <= nodes; j++)
                        if ((k, j) in reach) reach[i, j] = 1
        n = split(known, row, "\n")
        for (i = 1; i <= n; i++) isKnown[row[i]] = 1
        circles = 0; strays = 0
        for (i = 1; i <= nodes; i++) {
            if (i in placed || !((i, i) in reach)) continue
            # The circle through i: every folder that reaches i and that i reaches, sorted by name.
            cnt = 0
            for (j = 1; j <= nodes; j++)
                if ((i, j) in reach && (j, i) in reach) { member[++cnt] = name[j]; placed[j] = 1 }
            for (x = 2; x <= cnt; x++)
                for (y = x; y > 1 && member[y - 1] > member[y]; y--) { t = member[y]; member[y] = member[y - 1]; member[y - 1] = t }
            list = member[1]
            for (x = 2; x <= cnt; x++) list = list " " member[x]
            circles++
            if (list in isKnown) { seen[list] = 1; continue }
            strays++
            printf "circle: %s\n", list
            for (x = 1; x <= cnt; x++)
                for (y = 1; y <= cnt; y++)
                    if ((node[member[x]], node[member[y]]) in edge) printf "  %s\n", edge[node[member[x]], node[member[y]]]
        }
        for (i = 1; i <= n; i++)
            if (row[i] != "" && !(row[i] in seen)) { printf "known circle no longer there as listed: %s\n", row[i]; strays++ }
        if (bad) printf "%d upward include(s)\n", bad
        if (strays) printf "%d circle(s) between folders not as listed (%d in all)\n", strays, circles
        if (bad || strays) exit 1
    }'
