#!/usr/bin/env bash
# Builds the native benchmarks without sanitizers and runs them all.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_packages
mkdir -p "$KBUILD"
k_build "$KBUILD/bench" toolchain-native-m32.cmake -DKESTREL_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release
for b in "$KBUILD"/bench/bin/bench_*; do
    [ -x "$b" ] && "$b" "$@"
done

# The whole program on this machine, unattended, under Wine: KestrelRun starts Kestrel.exe, runs
# the benchmark tests and prints the results file it saved. KESTREL_RUN_ARGS adds runner options
# (e.g. "--tests 0,2,6 --frametime"); KESTREL_RUN_TIMEOUT bounds the run in seconds.
say "unattended benchmark run"
k_build_native
k_build_win
k_content
k_sound
k_display
trap k_display_stop EXIT
k_prefix
(cd "$KBUILD/win/bin" && wine KestrelRun.exe --out "$KBUILD/results.txt" \
    --timeout "${KESTREL_RUN_TIMEOUT:-1200}" ${KESTREL_RUN_ARGS:-})
