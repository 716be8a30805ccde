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
