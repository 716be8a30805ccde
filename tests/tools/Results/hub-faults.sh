#!/usr/bin/env bash
# The hub's faults on one backend (hub-faults.py): killed and restarted under load, and with
# PostgreSQL a private cluster of this test's own restarted under load too (stopped at the end
# whatever happens).
# usage: hub-faults.sh sqlite|postgresql <kestrel-results> <ResultsTest> <work folder>
set -eu
backend=$1 results=$2 writer=$3 dir=$4
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$dir"
mkdir -p "$dir"
KESTREL_REPORT_DIR=$dir "$writer" --gtest_filter=ResultsReport.WritesBrowserInputs >/dev/null
if [ "$backend" = postgresql ]; then
    pgdir=/tmp/kestrel-pg-faults-$$
    trap 'bash "$here/pg-cluster.sh" stop "$pgdir"' EXIT
    db=$(bash "$here/pg-cluster.sh" start "$pgdir")
    python3 "$here/hub-faults.py" "$results" "$db" "$dir/A-1.txt" "$dir" "$pgdir"
else
    python3 "$here/hub-faults.py" "$results" "$dir/hub.db" "$dir/A-1.txt" "$dir"
fi
