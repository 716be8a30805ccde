#!/usr/bin/env bash
# The hub against a stranger's requests on one backend (hub-attacks.py), with PostgreSQL on a
# private cluster of this test's own (stopped at the end whatever happens).
# usage: hub-attacks.sh sqlite|postgresql <kestrel-results> <ResultsTest> <work folder>
set -eu
backend=$1 results=$2 writer=$3 dir=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$dir"
mkdir -p "$dir"
KESTREL_REPORT_DIR=$dir "$writer" --gtest_filter=ResultsReport.WritesBrowserInputs >/dev/null
if [ "$backend" = postgresql ]; then
    pgdir=/tmp/kestrel-pg-attacks-$$
    trap 'bash "$here/pg-cluster.sh" stop "$pgdir"' EXIT
    db=$(bash "$here/pg-cluster.sh" start "$pgdir")
    python3 "$here/hub-attacks.py" "$results" "$db" "$dir"
else
    python3 "$here/hub-attacks.py" "$results" "$dir/hub.db" "$dir"
fi
