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

# The results hub on loopback, on each backend: a store filled in bulk (KESTREL_HUB_RUNS runs on
# SQLite, default 100,000; KESTREL_HUB_PG_RUNS on PostgreSQL, default 1,000,000), then 16 readers
# on its pages while 64 runners submit, for KESTREL_HUB_SECONDS (default 60).
say "results hub"
hubdir=$KBUILD/hub-bench
rm -rf "$hubdir" && mkdir -p "$hubdir"
KESTREL_REPORT_DIR=$hubdir "$KBUILD/bench/bin/ResultsTest" --gtest_filter=ResultsReport.WritesBrowserInputs >/dev/null
pgdir=/tmp/kestrel-pg-bench-$$
pg=$(k_pg_start "$pgdir")
trap 'k_pg_stop "$pgdir"' EXIT
for backend in sqlite postgresql; do
    if [ $backend = sqlite ]; then db=$hubdir/hub.db runs=${KESTREL_HUB_RUNS:-100000}; else db=$pg runs=${KESTREL_HUB_PG_RUNS:-1000000}; fi
    {
        "$KROOT/scripts/hub-seed.py" "$KBUILD/bench/bin/kestrel-results" "$db" "$hubdir/A-1.txt" "$runs"
        "$KROOT/scripts/hub-bench.py" "$KBUILD/bench/bin/kestrel-results" "$db" "$hubdir/A-1.txt" \
            "$hubdir/AFrames-1.csv" "${KESTREL_HUB_SECONDS:-60}"
    } | sed "s/^/$backend: /"
done
k_pg_stop "$pgdir"
trap - EXIT

if [ "${KESTREL_BENCH_WINE:-1}" != 0 ]; then
    k_build_win
    k_display
    trap k_display_stop EXIT
    k_prefix
    for b in bench_present bench_shape; do
        [ -f "$KBUILD/win/bin/$b.exe" ] && (cd "$KBUILD/win/bin" && wine "./$b.exe")
    done
fi

# The whole program on this machine, unattended, under Wine: KestrelRun starts Kestrel.exe and runs
# the benchmark again until every test's mean is known to +-KESTREL_STABLE_PCT % (95 % interval,
# default 3) or KESTREL_MAX_RUNS runs (default 10, at least 5) are done. Every run's results file and
# frame-time record are kept in build/runs with the run record, the report goes to
# build/report.html, and the runs are stored in the results database (kestrel-results list).
# KESTREL_RUN_ARGS adds runner options (e.g. "--tests 0,2,6"); KESTREL_RUN_TIMEOUT bounds one run
# in seconds.
say "unattended benchmark runs until stable"
k_build_program
k_display
trap k_display_stop EXIT
k_prefix
mkdir -p "$KBUILD/runs"
(cd "$KBUILD/win/bin" && wine KestrelRun.exe --out "$KBUILD/runs/Kestrel.txt" --report "$KBUILD/report.html" \
    --until-stable "${KESTREL_STABLE_PCT:-3}" --max-runs "${KESTREL_MAX_RUNS:-10}" \
    --timeout "${KESTREL_RUN_TIMEOUT:-1200}" ${KESTREL_RUN_ARGS:-})
record=$(ls -t "$KBUILD"/runs/Kestrel-*-record.txt | head -n 1)
"$KBUILD/native/bin/kestrel-results" import "$record"

# The era's adapters, the whole matrix: every test of every profile in both editions (the test
# command plays a slice of it). The table goes to the console and beside the test.
say "adapter matrix, every test in both editions"
(cd "$KBUILD/win" && KESTREL_MATRIX_FULL=1 ctest -R AdapterMatrixTest --output-on-failure) || echo "adapter matrix: FAILED (see above)"

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
