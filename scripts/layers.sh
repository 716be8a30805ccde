#!/usr/bin/env bash
# Layers run one way: a file under src/ may include only headers of its own layer or a lower one.
# Scans every #include "..." line under <root>/src (default: the checkout) and fails naming each
# include that points up, or into a folder that has no rank.
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

cd "$root/src" || { echo "layers: no src under $root" >&2; exit 2; }
grep -rn --include='*.h' --include='*.cpp' -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' . |
awk -v ranks="$ranks" '
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
    }
    END {
        if (bad) { printf "%d upward include(s)\n", bad; exit 1 }
    }'
