#!/usr/bin/env bash
# `bash scripts/run.sh --view` as a person on a headless machine uses it: the page it names opened
# in headless chromium shows the control panel, and a click on the panel's Exit button reaches
# Kestrel, which ends, and with it the command. Everything it started is stopped whatever happens.
# usage: run-view.sh <find_control.exe> <work folder>
set -eu
finder=$1 dir=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/lib.sh"
chromium=${KESTREL_CHROMIUM:-$(command -v chromium || true)}
[ -x "$chromium" ] || { echo "chromium is missing (scripts/packages.txt)"; exit 1; }
fail() { echo "FAIL: $*"; [ -f "$dir/run.out" ] && sed 's/^/  run.sh: /' "$dir/run.out"; exit 1; }
rm -rf "$dir" && mkdir -p "$dir"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
# The prefix's desktop belongs to the display of the first Wine process: none may be left over.
wineserver -k 2>/dev/null || true
runner=
finish() {
    if [ -n "$runner" ] && kill -0 "$runner" 2>/dev/null; then
        kill "$runner" 2>/dev/null || true
        wait "$runner" 2>/dev/null || true
    fi
    wineserver -k 2>/dev/null || true
}
trap finish EXIT
env -u DISPLAY KESTREL_BUILT=1 KESTREL_VIEW_LISTEN="127.0.0.1:$port" bash "$KROOT/scripts/run.sh" --view \
    >"$dir/run.out" 2>&1 &
runner=$!
for _ in $(seq 600); do grep -qs 'vnc.html' "$dir/run.out" && break; kill -0 $runner 2>/dev/null || break; sleep 0.1; done
url=$(sed -n 's|.*open \(http://[^ ]*\) in a browser.*|\1|p' "$dir/run.out")
display=$(sed -n 's|.*virtual display \(:[0-9]*\).*|\1|p' "$dir/run.out")
[ -n "$url" ] && [ -n "$display" ] || fail "run.sh --view named no address or display"
case $url in "http://127.0.0.1:$port/"*) ;; *) fail "the address $url is not the loopback one asked for" ;; esac
DISPLAY=$display python3 "$here/run-view.py" "$chromium" "$url" "$finder" "$dir" || fail "the browser check failed"
# The click on Exit ends Kestrel, and so the command.
for _ in $(seq 300); do kill -0 $runner 2>/dev/null || break; sleep 0.1; done
kill -0 $runner 2>/dev/null && fail "run.sh --view did not end after the panel's Exit"
wait $runner || fail "run.sh --view ended with exit code $?"
runner=
echo "run.sh --view: the panel showed in the browser and took the click ($url)"
