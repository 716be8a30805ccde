#!/usr/bin/env bash
# Builds everything and runs every test: the native core (with sanitizers, and under qemu for
# the AMD paths), the Windows tests under Wine, and the fuzz corpora. Fails on any failure.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_packages
start=$(date +%s)
k_build_native
k_build_win
k_content
k_build_fuzz
k_sound
k_display
trap k_display_stop EXIT
k_prefix

status=0 passed=0 failed=0
for tree in native win fuzz; do
    say "ctest: $tree"
    log=$KBUILD/$tree.ctest.log
    ok=1
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
done
# The installer and the zip, installed, run and removed under Wine in a prefix of their own.
say "install tests"
log=$KBUILD/install.log
KESTREL_BUILT=1 bash "$KROOT/scripts/install-test.sh" >"$log" 2>&1 || { status=1; echo "(full output: $log)"; }
grep -E '^FAIL|^== install tests:' "$log"
p=$(sed -n -E 's/^install tests: ([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$log")
if [ -n "$p" ]; then
    set -- $p; passed=$((passed + $1)); failed=$((failed + $2))
else
    status=1; failed=$((failed + 1)); tail -n 20 "$log"
fi
say "all trees: $(( $(date +%s) - start )) s"
echo "$passed passed, $failed failed"
exit $status
