#!/usr/bin/env bash
# The hub's pages in a real browser (hub-browser.py) on one backend: an SQLite file, or a database
# of its own on the test cluster (KESTREL_PG, set by the ctest fixture), dropped after. The hub is
# stopped whatever happens.
# usage: hub-browser.sh sqlite|postgresql <kestrel-results> <ResultsTest> <work folder>
set -eu
backend=$1 results=$2 writer=$3 dir=$4
here=$(cd "$(dirname "$0")" && pwd)
chromium=${KESTREL_CHROMIUM:-$(command -v chromium || true)}
[ -x "$chromium" ] || { echo "chromium is missing (scripts/packages.txt)"; exit 1; }
rm -rf "$dir"
mkdir -p "$dir"
fail() { echo "FAIL: $*"; exit 1; }
KESTREL_REPORT_DIR=$dir "$writer" --gtest_filter=ResultsReport.WritesBrowserInputs >"$dir/writer.log" 2>&1 \
    || { cat "$dir/writer.log"; fail "the test files were not written"; }

hub= pgname=
finish() {
    if [ -n "$hub" ]; then kill "$hub" 2>/dev/null || true; wait "$hub" 2>/dev/null || true; fi
    if [ -n "$pgname" ]; then psql -q "$KESTREL_PG" -c "DROP DATABASE IF EXISTS $pgname WITH (FORCE)" >/dev/null 2>&1 || true; fi
}
trap finish EXIT
case $backend in
sqlite) db=$dir/hub.db ;;
postgresql)
    [ -n "${KESTREL_PG:-}" ] || fail "KESTREL_PG is not set (the ctest fixture starts the cluster and sets it)"
    pgname=kestrel_browser_$$
    psql -q "$KESTREL_PG" -c "CREATE DATABASE $pgname" >/dev/null || fail "cannot make a database on $KESTREL_PG"
    db="postgresql:///$pgname?${KESTREL_PG#*\?}"
    ;;
*) fail "unknown backend $backend" ;;
esac
token=$("$results" --db "$db" token add browser) || fail "no token"
"$results" --db "$db" serve --listen 127.0.0.1:0 >"$dir/serve.out" 2>&1 &
hub=$!
for _ in $(seq 100); do grep -qs '^listening' "$dir/serve.out" && break; sleep 0.1; done
url=$(sed -n 's|^listening on \(http://[^ ]*\)$|\1|p' "$dir/serve.out")
[ -n "$url" ] || fail "the hub did not start: $(cat "$dir/serve.out")"
python3 "$here/hub-browser.py" "$chromium" "$url" "$token" "$dir"
echo "hub browser check passed on $backend ($url)"
