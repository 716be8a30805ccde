#!/usr/bin/env bash
# KestrelRun under Wine sending its runs to the native results hub on loopback: the hub down
# (the run waits in the spool), then up (the next run sends both), a spooled run sent twice
# stored once, a wrong token refused; the hub then holds exactly the two runs, frame times and
# the machine's name with them.
# usage: runner-hub.sh <kestrel-results (native)> <wine-exec> <RunnerTest.exe> <work folder>
set -eu
results=$1 wine=$2 tester=$3 dir=$4
[ -x "$results" ] || { echo "no native kestrel-results at $results: build the native tree first"; exit 1; }
rm -rf "$dir"
mkdir -p "$dir"
db=$dir/hub.db
fail() { echo "FAIL: $*"; exit 1; }
hub_pid=
stop_hub() { [ -n "$hub_pid" ] && kill "$hub_pid" 2>/dev/null && wait "$hub_pid" 2>/dev/null; hub_pid=; true; }
trap stop_hub EXIT
start_hub() {
    "$results" --db "$db" serve --listen "127.0.0.1:$1" >"$dir/serve.out" 2>&1 &
    hub_pid=$!
    for _ in $(seq 100); do
        grep -q '^listening on' "$dir/serve.out" && return 0
        kill -0 "$hub_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$dir/serve.out"
    fail "the hub did not start"
}
token=$("$results" --db "$db" token add runner)
# A port the hub will have: found free by the hub itself, then left closed for the first phase.
start_hub 0
port=$(sed -n 's|^listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$dir/serve.out")
stop_hub
url=http://127.0.0.1:$port/
tester_dir=$(dirname "$tester")
phase() {
    (cd "$tester_dir" && KESTREL_HUB=$url KESTREL_HUB_TOKEN=$token KESTREL_HUB_PHASE=$1 \
        "$wine" "$tester" --gtest_filter=RunnerHub.*) >"$dir/$1.log" 2>&1 || { cat "$dir/$1.log"; fail "phase $1"; }
    grep -q '\[  PASSED  \] 1 test' "$dir/$1.log" || { cat "$dir/$1.log"; fail "phase $1 did not run"; }
}
phase down
start_hub "$port"
phase up
list=$(curl -s "${url}api/runs?limit=1000")
echo "$list" | grep -q '"total":2,' || fail "the hub holds not exactly two runs: $list"
for id in 1 2; do
    run=$(curl -s "${url}api/runs/$id")
    echo "$run" | grep -q '"frames":[1-9]' || fail "run $id came without its frame times: $run"
    echo "$run" | grep -q '"label":"[^"]\+ Results.txt"' \
        || fail "run $id does not carry the machine's name: $(echo "$run" | head -c 300)"
done
echo "runner-hub: ok (hub on port $port)"
