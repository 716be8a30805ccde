#!/usr/bin/env bash
# Builds the native benchmarks without sanitizers and runs them all, then the device benchmarks
# under Wine (bench_present, bench_shape; KESTREL_BENCH_WINE=0 leaves them out).
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_packages
mkdir -p "$KBUILD"
k_build "$KBUILD/bench" toolchain-native-m32.cmake -DKESTREL_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
for b in "$KBUILD"/bench/bin/bench_*; do
    [ -x "$b" ] && "$b" "$@"
done
if [ "${KESTREL_BENCH_WINE:-1}" != 0 ]; then
    k_build_win
    k_display
    trap k_display_stop EXIT
    k_prefix
    for b in bench_present bench_shape; do
        [ -f "$KBUILD/win/bin/$b.exe" ] && (cd "$KBUILD/win/bin" && wine "./$b.exe")
    done
fi

# The whole program on this machine, unattended, under Wine: KestrelRun starts Kestrel.exe, runs
# the benchmark tests and prints the results file it saved. KESTREL_RUN_ARGS adds runner options
# (e.g. "--tests 0,2,6 --frametime"); KESTREL_RUN_TIMEOUT bounds the run in seconds.
say "unattended benchmark run"
k_build_program
k_display
trap k_display_stop EXIT
k_prefix
(cd "$KBUILD/win/bin" && wine KestrelRun.exe --out "$KBUILD/results.txt" \
    --timeout "${KESTREL_RUN_TIMEOUT:-1200}" ${KESTREL_RUN_ARGS:-})

# Where each test's time goes, for Kestrel's whole process and all its threads (the system's
# sampler, as root): KESTREL_SPLIT_TESTS chooses the tests, KESTREL_BENCH_SPLIT=0 leaves it out.
if [ "${KESTREL_BENCH_SPLIT:-1}" != 0 ]; then
    if command -v perf >/dev/null && [ "$(id -u)" = 0 ]; then
        say "time split"
        bash "$KROOT/scripts/timesplit.sh" ${KESTREL_SPLIT_TESTS:-}
    else
        say "time split skipped: it needs perf (linux-perf) and root"
    fi
fi
