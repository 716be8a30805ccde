#!/usr/bin/env bash
# A controlled background load: a fixed busy loop on each of N cores (default 1), as another
# program at work would take them. For measuring how scores hold when the machine is not quiet.
#
#   bash scripts/load.sh start [N]   start N busy loops (one a core's worth), print their ids
#   bash scripts/load.sh stop        stop the loops this script started
#   bash scripts/load.sh status      say whether they run
#   bash scripts/load.sh run [N] -- COMMAND...   run COMMAND with the loops on, stop them after
#
# KESTREL_LOAD_CPU=<n> pins each loop to that processor (taskset); by default the scheduler
# places them, as it would another program's work.
set -u
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
pidfile=$KBUILD/.load.pids

load_start() {
    local n=${1:-1} i pin=()
    [[ $n =~ ^[1-9][0-9]?$ ]] || die "load.sh: the number of loops is 1 to 99, not \"$n\""
    load_stop
    mkdir -p "$KBUILD"
    [ -n "${KESTREL_LOAD_CPU:-}" ] && pin=(taskset -c "$KESTREL_LOAD_CPU")
    for ((i = 0; i < n; i++)); do
        # The loop does no system calls: all its time is user time on one core.
        "${pin[@]}" setsid bash -c 'while :; do :; done' </dev/null >/dev/null 2>&1 &
        echo $! >>"$pidfile"
    done
    echo "load: $n busy loop(s) running: $(tr '\n' ' ' <"$pidfile")"
}

load_stop() {
    [ -f "$pidfile" ] || return 0
    local p
    while read -r p; do
        # Only a loop this script started: its command line is the busy loop.
        if [ -n "$p" ] && grep -q 'while :; do :; done' "/proc/$p/cmdline" 2>/dev/null; then
            kill "$p" 2>/dev/null
        fi
    done <"$pidfile"
    rm -f "$pidfile"
}

load_status() {
    local p on=0
    if [ -f "$pidfile" ]; then
        while read -r p; do
            grep -q 'while :; do :; done' "/proc/$p/cmdline" 2>/dev/null && on=$((on + 1))
        done <"$pidfile"
    fi
    echo "load: $on busy loop(s) running"
}

case "${1:-}" in
start) load_start "${2:-1}" ;;
stop) load_stop; echo "load: stopped" ;;
status) load_status ;;
run)
    shift; n=1
    [ "${1:-}" != "--" ] && { n=$1; shift; }
    [ "${1:-}" = "--" ] || die "usage: load.sh run [N] -- COMMAND..."
    shift
    load_start "$n" >/dev/null
    trap load_stop EXIT
    "$@"
    ;;
*) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 1 ;;
esac
