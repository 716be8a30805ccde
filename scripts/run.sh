#!/usr/bin/env bash
# Builds Kestrel and its content and runs it under Wine (the control panel appears).
# KESTREL_VRAM_MB=<MiB> sets the video memory that Wine reports for this run.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_build_program
k_display
trap k_display_stop EXIT
k_prefix
cd "$KBUILD/win/bin"
wine Kestrel.exe "$@"
