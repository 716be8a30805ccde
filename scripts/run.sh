#!/usr/bin/env bash
# Kestrel's first command. With a display: builds Kestrel and its content and opens the control
# panel under Wine. Without one (a server, a container, a CI box): builds, runs the benchmark
# unattended on a virtual display with its progress on the console, prints the scores against the
# reference system and the Kestrel Index, writes the report and a few captured frames, says where
# they are and ends.
#   bash scripts/run.sh [--view] [Kestrel.exe arguments]
# --view (or KESTREL_VIEW=1): the control panel on a virtual display served to a browser (x11vnc
# and noVNC), on 127.0.0.1:6080 unless KESTREL_VIEW_LISTEN=HOST:PORT says otherwise; ends with
# the panel (Exit) or Ctrl+C.
# KESTREL_VRAM_MB=<MiB> sets the video memory that Wine reports for this run; KESTREL_RUN_ARGS adds
# runner options to the unattended run (e.g. "--tests 0,6,7"); KESTREL_FIRST_RUN=<folder> is
# where it writes (default build/first-run).
set -eu
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
view=${KESTREL_VIEW:-0}
if [ "${1:-}" = --view ]; then view=1; shift; fi

# What happens and how long it takes, before anything does.
if [ "$view" = 1 ]; then
    say "Kestrel: the control panel on a virtual display, served to a browser"
elif [ -n "${DISPLAY:-}" ]; then
    say "Kestrel: the control panel on this display ($DISPLAY)"
else
    say "Kestrel: no display here, so the benchmark runs unattended on a virtual one and the results,"
    say "a report and captured frames are written (bash scripts/run.sh --view shows the panel in a browser)"
fi
if [ -f "$KBUILD/win/bin/Kestrel.exe" ] && [ -f "$KBUILD/native/CMakeCache.txt" ]; then
    say "build: bringing $KBUILD up to date (seconds when nothing changed)"
else
    # About half an hour of one core with an empty compiler cache (the cache makes later clones
    # faster), plus the packages and the runtime's source the first time.
    say "build: the first build takes about $(( 30 / $(nproc) + 1 )) minutes on $(nproc) core(s), then the content; missing packages are installed first (as root)"
fi
# The test of --view runs on what the test command has built.
[ "${KESTREL_BUILT:-0}" = 1 ] || k_build_program

if [ "$view" = 1 ]; then
    # Always a virtual display of its own, served on loopback unless told otherwise.
    unset DISPLAY
    k_display
    listen=${KESTREL_VIEW_LISTEN:-127.0.0.1:6080}
    sock=$KBUILD/.vnc.$$
    vnc= web=
    stop_view() {
        local p
        for p in $web $vnc; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
        rm -f "$sock"
        k_display_stop
    }
    trap stop_view EXIT
    trap 'exit 130' INT TERM
    k_prefix
    # The VNC server on a Unix socket only (no TCP port); the browser's side on one address.
    rm -f "$sock"
    x11vnc -display "$DISPLAY" -rfbport 0 -unixsock "$sock" -nopw -forever -shared -quiet -noxdamage \
        >"$KBUILD/x11vnc.log" 2>&1 &
    vnc=$!
    for _ in $(seq 100); do [ -S "$sock" ] && break; sleep 0.1; done
    [ -S "$sock" ] || die "x11vnc did not start: $(tail -n 5 "$KBUILD/x11vnc.log")"
    websockify --web /usr/share/novnc --unix-target="$sock" "$listen" >"$KBUILD/websockify.log" 2>&1 &
    web=$!
    host=${listen%:*} port=${listen##*:}
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/${host/0.0.0.0/127.0.0.1}/$port") 2>/dev/null && break
        sleep 0.1
    done
    say "virtual display $DISPLAY served by x11vnc and websockify (noVNC)"
    say "open http://$listen/vnc.html?autoconnect=1&resize=scale in a browser; the panel's Exit or Ctrl+C ends it"
    cd "$KBUILD/win/bin"
    rc=0
    wine Kestrel.exe "$@" || rc=$?
    exit $rc
fi

if [ -n "${DISPLAY:-}" ]; then
    k_prefix
    cd "$KBUILD/win/bin"
    exec wine Kestrel.exe "$@"
fi

# No display: the benchmark, unattended, on a virtual one.
k_display
trap k_display_stop EXIT
k_prefix
out=${KESTREL_FIRST_RUN:-$KBUILD/first-run}
mkdir -p "$out"
out=$(cd "$out" && pwd)
say "running the benchmark once (the whole of it takes several minutes under Wine; progress below)"
set +e
(cd "$KBUILD/win/bin" && wine KestrelRun.exe --runs 1 --out "$(winepath -w "$out/Kestrel.txt")" \
    --report "$(winepath -w "$out/report.html")" --timeout "${KESTREL_RUN_TIMEOUT:-3600}" ${KESTREL_RUN_ARGS:-}) \
    2>&1 | tr -d '\r' | grep -v -E '^(report|run record):|^wine: Read access denied for device'
rc=${PIPESTATUS[0]}
set -e
record=$(ls -t "$out"/Kestrel-*-record.txt 2>/dev/null | head -n 1)
[ -n "$record" ] && [ -f "$out/report.html" ] || die "the benchmark did not finish (see above)"
# The scores against the reference system, from the store's own reading of the run.
rm -f "$out/results.db"
"$KBUILD/native/bin/kestrel-results" --db "$out/results.db" import "$record" >/dev/null
echo
"$KBUILD/native/bin/kestrel-results" --db "$out/results.db" show 1
say "capturing a few frames of Game1, The Surface and 2D Graphics"
GALLERY_OUT=$out/frames GALLERY_BUILD=0 bash "$KROOT/scripts/gallery.sh" 23 19 21 >"$out/frames.log" 2>&1 ||
    say "the frames could not all be captured (see $out/frames.log)"
echo
say "the results file and frame times: $(dirname "$record")/$(basename "$record" -record.txt)-1.txt (and -1-frames.csv)"
say "the report (open it in a browser): $out/report.html"
say "captured frames: $out/frames ($(ls "$out/frames"/*.png 2>/dev/null | wc -l) pictures, listed in frames/index.md)"
say "the run in a results store: $out/results.db (build/native/bin/kestrel-results --db ... list)"
exit $rc
