#!/usr/bin/env bash
# content_same.sh <kb_content> <Data folder>
# Builds the content again into a new folder and compares every file byte for byte with the one
# the build wrote: the content builder must give the same bytes on every run.
set -u
tool=$1 data=$2
[ -d "$data" ] || { echo "no Data folder at $data"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/Data"
"$tool" "$tmp/Data" >"$tmp/log" || { cat "$tmp/log"; exit 1; }
count=0 differ=0
while read -r size rel; do
    [ -f "$tmp/$rel" ] || continue
    count=$((count + 1))
    cmp -s "$tmp/$rel" "$data/../$rel" || { echo "differs: $rel"; differ=$((differ + 1)); }
done < <(grep -E '^ *[0-9]+  [A-Za-z]' "$tmp/log")
echo "$count files compared, $differ differ"
[ "$count" -gt 0 ] && [ "$differ" -eq 0 ]
