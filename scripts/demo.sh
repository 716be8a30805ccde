#!/usr/bin/env bash
# Plays the whole demo under Wine with music, first as FullSpec and then as Light (Wine reports
# 16 MB of video memory, so Kestrel chooses its Light edition), through the unattended runner:
# each run lists the scenes it played with their music and the memory, handles and GDI objects
# Kestrel held, and fails when a scene could not be loaded or the demo did not reach its end.
# KESTREL_SOAK_MINUTES=N plays the FullSpec demo in Continuous Loop for N minutes instead (a soak;
# 60 for an hour) and reports the memory as each pass begins and its growth.
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
k_build_program
k_display
trap 'k_video_memory ""; k_display_stop' EXIT
k_prefix
cd "$KBUILD/win/bin"
if [ -n "${KESTREL_SOAK_MINUTES:-}" ]; then
    say "FullSpec demo soak, ${KESTREL_SOAK_MINUTES} minutes in Continuous Loop"
    wine KestrelRun.exe --demo --minutes "$KESTREL_SOAK_MINUTES" --timeout $((KESTREL_SOAK_MINUTES * 60 + 600))
    exit
fi
say "FullSpec demo"
k_video_memory ""
wine KestrelRun.exe --demo --timeout "${KESTREL_RUN_TIMEOUT:-2400}"
say "Light demo"
k_video_memory 16
wine KestrelRun.exe --demo --timeout "${KESTREL_RUN_TIMEOUT:-2400}"
