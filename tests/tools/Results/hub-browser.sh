#!/usr/bin/env bash
# The hub's pages in a real browser (Debian's chromium, headless): runs sent through the upload
# form's address as the form sends them, one named with markup and quotes; every page shows that
# name as text and runs nothing of it; the comparison of the runs draws its charts.
# usage: hub-browser.sh <kestrel-results> <ResultsTest> <work folder>
set -eu
results=$1 writer=$2 dir=$3
chromium=${KESTREL_CHROMIUM:-$(command -v chromium || true)}
[ -x "$chromium" ] || { echo "chromium is missing (scripts/packages.txt)"; exit 1; }
rm -rf "$dir"
mkdir -p "$dir"
fail() { echo "FAIL: $*"; exit 1; }
KESTREL_REPORT_DIR=$dir "$writer" --gtest_filter=ResultsReport.WritesBrowserInputs >/dev/null
db=$dir/hub.db
token=$("$results" --db "$db" token add browser)
"$results" --db "$db" serve --listen 127.0.0.1:0 >"$dir/serve.out" 2>&1 &
hub=$!
trap 'kill $hub 2>/dev/null; wait $hub 2>/dev/null' EXIT
for _ in $(seq 100); do grep -q '^listening' "$dir/serve.out" && break; sleep 0.1; done
url=$(sed -n 's|^listening on \(http://[^ ]*\)$|\1|p' "$dir/serve.out")
[ -n "$url" ] || fail "the hub did not start: $(cat "$dir/serve.out")"

evil='<img src=x onerror="document.title=1"><script>document.title=2</script> "Bench" & '"'"'Lab'"'"
upload() {
    curl -s -o /dev/null -w '%{http_code} %{redirect_url}' -F "token=$token" -F "run=@$1" -F "frames=@$2" \
        --form-string "label=$3" "${url}upload"
}
first=$(upload "$dir/A-1.txt" "$dir/AFrames-1.csv" "$evil")
second=$(upload "$dir/B-1.txt" "$dir/BFrames-1.csv" "machine B")
case "$first $second" in "303 "*"/runs/1 303 "*"/runs/2") ;; *) fail "uploads: $first / $second" ;; esac
[ "$(upload "$dir/A-2.txt" "$dir/AFrames-2.csv" x | cut -c1-3)" = 303 ] || fail "a third upload"
bad=$(curl -s -o /dev/null -w '%{http_code}' -F "token=wrong" -F "run=@$dir/A-3.txt" "${url}upload")
[ "$bad" = 401 ] || fail "an upload with a wrong token answered $bad"

browse() {
    timeout 120 "$chromium" --headless=new --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
        --user-data-dir="$dir/profile" "$@" 2>/dev/null
}
for page in "" machines best runs/1 "compare?id=1&id=2" upload; do
    name=$(echo "page-$page" | tr -c 'a-z0-9-' _)
    browse --dump-dom "$url$page" >"$dir/$name.dom"
    python3 - "$dir/$name.dom" "$page" "$evil" <<'PY' || fail "page /$2"
import html, re, sys
dom, page, evil = open(sys.argv[1], encoding="utf-8").read(), sys.argv[2], sys.argv[3]
title = re.search(r"<title>(.*?)</title>", dom, re.S)
if not title or title.group(1) in ("1", "2"):
    sys.exit("the machine's markup ran: title %r" % (title and title.group(1)))
if re.search(r"<img[^>]*src=\"x\"", dom) or "<script>document.title" in dom:
    sys.exit("the machine's markup became elements")
text = html.unescape(re.sub(r"<[^>]*>", "", dom))
if page in ("", "runs/1", "compare?id=1&id=2") and evil not in text:
    sys.exit("the machine's name is not shown as written")
if page.startswith("compare") and dom.count('class="chart"') < 10:
    sys.exit("the comparison has %d charts" % dom.count('class="chart"'))
PY
done
echo "hub browser check passed ($url)"
