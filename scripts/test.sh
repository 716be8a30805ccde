#!/usr/bin/env bash
# Builds everything and runs every test: the native core (with sanitizers, and under qemu for
# the AMD paths), the Windows tests under Wine, and the fuzz corpora. Fails on any failure.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_packages
start=$(date +%s)
say() { echo "== [$(( $(date +%s) - start )) s] $*"; }
k_build_native
k_build_win
k_content
# Packing the installer is one core's work for a minute: it runs beside the fuzz build and the
# native tests, and is done before the Windows tests write into the program's folder.
say "packages"
plog=$KBUILD/package.log
k_package >"$plog" 2>&1 &
packing=$!
k_build_fuzz
k_sound
k_display
trap k_display_stop EXIT
k_prefix

status=0 passed=0 failed=0
# ctest_tree <tree>: runs one tree's tests and counts them.
ctest_tree() {
    local tree=$1 log=$KBUILD/$1.ctest.log ok=1 p
    say "ctest: $tree"
    (cd "$KBUILD/$tree" && ctest --output-on-failure -j "$([ $tree = win ] && echo 1 || echo "$JOBS")") >"$log" 2>&1 || ok=0
    grep -E '^[0-9]+% tests passed|^The following tests|^\s+[0-9]+ - |Total Test time' "$log"
    grep -q 'No tests were found' "$log" && echo "(no tests in $tree)"
    p=$(sed -n -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\2 \1/p' "$log")
    if [ -n "$p" ]; then
        set -- $p; passed=$((passed + $1 - $2)); failed=$((failed + $2))
    fi
    if [ $ok = 0 ]; then
        status=1
        grep -E '\[  FAILED  \]|Failure|\*\*\*Failed|Timeout|Exception|ERROR' "$log" | head -n 60
        echo "(full output: $log)"
    fi
}
ctest_tree native
wait $packing || { cat "$plog"; die "the packages were not made"; }
# The installer and the zip, installed, run and removed under Wine in a prefix and on a display of
# their own, beside the Windows tests (which wait on Wine and the display more than on the cores).
say "install tests (beside the Windows tests)"
ilog=$KBUILD/install.log
env -u DISPLAY KESTREL_BUILT=1 KESTREL_PACKAGED=1 bash "$KROOT/scripts/install-test.sh" >"$ilog" 2>&1 &
installing=$!
ctest_tree win
ctest_tree fuzz
wait $installing || status=1
say "install tests done"
grep -E '^FAIL|^== install tests:' "$ilog"
p=$(sed -n -E 's/^install tests: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$ilog")
if [ -n "$p" ]; then
    set -- $p; passed=$((passed + $1)); failed=$((failed + $2))
    [ "$2" = 0 ] || echo "(full output: $ilog)"
else
    status=1; failed=$((failed + 1)); tail -n 20 "$ilog"
fi
say "all trees: $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
exit $status
