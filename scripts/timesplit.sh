#!/usr/bin/env bash
# Where each benchmark test's time goes, for the whole Kestrel process and all its threads:
# the system's sampler (perf, as root) records every processor while KestrelRun plays one test,
# and the samples of Kestrel's process are split into rasterising and shading (the software
# rasteriser's threads), the driver's translation of calls (the Direct3D layer's command thread,
# and the main thread inside the Direct3D, DirectDraw and GL libraries), Kestrel's own code, and
# the rest (system, Wine's runtime). Idle processors and other processes are shown beside it.
#   bash scripts/timesplit.sh [test ...]    tests numbered as KestrelRun's --tests (default 0 2 4 6 8 9)
# KESTREL_SPLIT_BIN runs another build's folder (holding Kestrel.exe, KestrelRun.exe and Data);
# KESTREL_SPLIT_OUT keeps the table there as well.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
command -v perf >/dev/null || die "perf is not installed (Debian package linux-perf)"
[ "$(id -u)" = 0 ] || die "the whole-system sampler needs root"
BIN=${KESTREL_SPLIT_BIN:-$KBUILD/win/bin}
TESTS=${*:-0 2 4 6 8 9}
if [ -z "${KESTREL_SPLIT_BIN:-}" ]; then
    k_build_program
fi
k_display
trap k_display_stop EXIT
k_prefix
NAMES=("Game1 (Low)" "Game1 (High)" "Game2 (Low)" "Game2 (High)" "Game3 (Low)" "Game3 (High)" "The Surface"
       "2D Graphics" "Space Fighter" "Your Fighter")
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"; k_display_stop' EXIT
table=$TMP/table.txt
printf '%-15s %7s %8s %8s %8s %8s %8s | %7s %7s\n' Test fps raster driver "(main)" Kestrel rest idle others >"$table"
for t in $TESTS; do
    data=$TMP/$t.data
    (cd "$BIN" && perf record -q -a -F 499 -o "$data" -- \
        wine KestrelRun.exe --tests "$t" --frametime --timeout 600 --out "$TMP/res.txt" >"$TMP/$t.out" 2>&1) ||
        { say "test $t: the run failed"; tail -n 5 "$TMP/$t.out"; continue; }
    fps=$(awk '/^\[Frame Times\]/ { f = 1; next } f && $1 != "Test" { split(substr($0, 17), c, " "); print c[2]; exit }' "$TMP/$t.out")
    # The run's own frame table (times and device work per frame) goes beside the split.
    awk '/^\[Frame Times\]/ { f = 1; next } f && NF > 3 { print }' "$TMP/$t.out" >>"$TMP/frames.txt"
    # One line a sample: thread name, process, address, library. Kestrel's process is the one
    # whose main thread has the most samples.
    perf script -i "$data" -F comm,pid,ip,dso -G 2>/dev/null | awk -v name="${NAMES[$t]}" -v fps="${fps:--}" '
        { pid = $2; comm = $1; line[NR] = $0; total++
          if (comm == "Kestrel.exe") main[pid]++ }
        END {
            best = ""; for (p in main) if (best == "" || main[p] > main[best]) best = p
            for (i = 1; i <= NR; i++) {
                k = split(line[i], f, " "); pid = f[2]; comm = f[1]; dso = f[k]
                if (comm == "swapper") { idle++; continue }
                if (pid != best) { others++; continue }
                if (comm ~ /^llvmpipe/) raster++
                else if (comm == "wined3d_cs") driver++
                # The program is loaded where no library is; its code shows as an unnamed map.
                else if (dso ~ /Kestrel\.exe/ || (dso ~ /perf-[0-9]+\.map/ && length(f[3]) <= 6)) own++
                else if (dso ~ /(wined3d|ddraw|opengl32|swrast_dri|libGL|libLLVM|libgallium|winex11)/) { driver++; drvMain++ }
                else rest++
            }
            if (total == 0) total = 1
            mine = raster + driver + own + rest; if (mine == 0) mine = 1
            printf "%-15s %7s %7.1f%% %7.1f%% %7.1f%% %7.1f%% %7.1f%% | %6.1f%% %6.1f%%\n", name, fps,
                100 * raster / mine, 100 * driver / mine, 100 * drvMain / mine, 100 * own / mine, 100 * rest / mine,
                100 * idle / total, 100 * others / total
        }' >>"$table"
    rm -f "$data"
done
echo
echo "[Time Split] shares of Kestrel's process (all threads); idle and other processes: of the whole machine"
echo "  raster: the rasteriser's threads; driver: the command thread and the main thread in the"
echo "  Direct3D/DirectDraw/GL libraries, (main) that part; Kestrel: its own code; rest: system, runtime"
cat "$table"
echo
echo "[Frame Times] of the same runs"
awk 'NR == 1 || $1 != "Test"' "$TMP/frames.txt" 2>/dev/null || true
if [ -n "${KESTREL_SPLIT_OUT:-}" ]; then
    cp "$table" "$KESTREL_SPLIT_OUT"
fi
