#!/usr/bin/env bash
# The report in a real browser (Debian's chromium, headless, started and stopped here), with the
# store's command line end to end on the way:
#  - two machines' run records imported (a re-import recognised, a cut file refused with its
#    name and line), listed, compared, and reported as one page;
#  - the page's text holds every test and every mean score, escaped names read as written;
#  - every chart has its data drawn in a screenshot (coloured pixels inside each chart's box);
#  - a report of ten-minute frame records parses and lays out in under 2 s, and its screenshot
#    takes under 2 s more than a small page's.
# usage: report-browser.sh <kestrel-results> <ResultsTest> <work folder>
set -eu
results=$1 writer=$2 dir=$3
chromium=${KESTREL_CHROMIUM:-$(command -v chromium || true)}
[ -x "$chromium" ] || { echo "chromium is missing (scripts/packages.txt)"; exit 1; }
py=/usr/bin/python3
[ -x "$py" ] || py=python3
rm -rf "$dir"
mkdir -p "$dir"
fail() { echo "FAIL: $*"; exit 1; }

KESTREL_REPORT_DIR=$dir "$writer" --gtest_filter=ResultsReport.WritesBrowserInputs >"$dir/writer.log" 2>&1 \
    || { cat "$dir/writer.log"; fail "the test pages were not written"; }

# The command line.
db=$dir/results.db
"$results" --db "$db" import "$dir/A.run" "$dir/B.run" >"$dir/import.log" || fail "import: $(cat "$dir/import.log")"
"$results" --db "$db" import "$dir/A.run" | grep -q '^1 already stored' || fail "a re-import was not recognised"
head -c 2000 "$dir/A-1.txt" >"$dir/cut.txt"
if "$results" --db "$db" import "$dir/cut.txt" 2>"$dir/cut.log"; then fail "a cut results file was stored"; fi
grep -q 'cut.txt:[0-9]*: ' "$dir/cut.log" || fail "the refusal does not name file and line: $(cat "$dir/cut.log")"
[ "$("$results" --db "$db" list | cut -f1 | tr '\n' ' ')" = "1 2 " ] || fail "list: $("$results" --db "$db" list)"
"$results" --db "$db" compare 1 2 >"$dir/compare.txt"
grep -q '^Game1 (Low) .*\*$' "$dir/compare.txt" || { cat "$dir/compare.txt"; fail "a real difference is not marked"; }
"$results" --db "$db" report 1 2 --out "$dir/cli.html" >/dev/null

browse() {
    timeout 120 "$chromium" --headless=new --no-sandbox --disable-gpu --hide-scrollbars --no-first-run \
        --user-data-dir="$dir/profile" "$@" 2>/dev/null
}
# A copy of a page with a probe that, once loaded, writes where each chart is and how long the
# page took to parse and lay out (the report itself has no script).
probe() {
    sed 's|</body>|<script>addEventListener("load",function(){var r=[].map.call(document.querySelectorAll("svg.chart"),function(s){var b=s.getBoundingClientRect();return [b.left,b.top+scrollY,b.width,b.height].map(Math.round).join(",")});document.body.setAttribute("data-probe",JSON.stringify({rects:r,height:document.documentElement.scrollHeight,ms:performance.now()}))})</script></body>|' \
        "$1" >"$1.probe.html"
    browse --dump-dom "file://$1.probe.html" >"$1.probe.dom"
}

browse --dump-dom "file://$dir/cli.html" >"$dir/cli.dom"
probe "$dir/cli.html"
probe "$dir/long.html"
height=$("$py" -c 'import json,re,html,sys; d=open(sys.argv[1]).read(); print(json.loads(html.unescape(re.search(r"data-probe=\"([^\"]*)\"",d).group(1)))["height"])' "$dir/cli.html.probe.dom")
browse --window-size=800,"$height" --screenshot="$dir/cli.png" "file://$dir/cli.html" >/dev/null
t0=$(date +%s%N)
browse --window-size=800,600 --screenshot="$dir/small.png" "file://$dir/writer.log" >/dev/null
t1=$(date +%s%N)
browse --window-size=800,6000 --screenshot="$dir/long.png" "file://$dir/long.html" >/dev/null
t2=$(date +%s%N)

"$py" - "$dir" $(((t1 - t0) / 1000000)) $(((t2 - t1) / 1000000)) <<'PY'
import html, json, re, struct, sys, zlib
d, small_ms, long_ms = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
bad = []

# Text: every test and score (and the escaped adapter name as written).
dom = open(d + "/cli.dom", encoding="utf-8").read()
text = html.unescape(re.sub(r"<[^>]*>", " ", dom.split("<body", 1)[1]))
for want in open(d + "/two.expect", encoding="utf-8").read().split("\n"):
    if want and want not in text:
        bad.append("page text lacks %r" % want)

def png(path):
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and ctype in (2, 6) and not interlace
        elif kind == b"IDAT":
            idat += body
        pos += 12 + n
    bpp = 4 if ctype == 6 else 3
    raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
    for y in range(h):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b, c = prev[i], prev[i - bpp] if i >= bpp else 0
            if f == 1: line[i] = (line[i] + a) & 255
            elif f == 2: line[i] = (line[i] + b) & 255
            elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c; pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line); prev = line
    return w, h, bpp, rows

# Charts: coloured pixels (the sets' bars and lines; grids and text are grey) inside every chart.
w, h, bpp, rows = png(d + "/cli.png")
info = json.loads(html.unescape(re.search(r'data-probe="([^"]*)"', open(d + "/cli.html.probe.dom").read()).group(1)))
if len(info["rects"]) < 10:
    bad.append("only %d charts on the page" % len(info["rects"]))
for k, r in enumerate(info["rects"]):
    x0, y0, cw, ch = map(int, r.split(","))
    colour = 0
    for y in range(max(0, y0), min(h, y0 + ch)):
        row = rows[y]
        for x in range(max(0, x0), min(w, x0 + cw)):
            p = row[x * bpp:x * bpp + 3]
            colour += max(p) - min(p) > 60
    if colour < 30:
        bad.append("chart %d at %s is blank (%d coloured pixels)" % (k, r, colour))

# Ten-minute records: parse and layout, and the whole screenshot against a small page's.
long_info = json.loads(html.unescape(re.search(r'data-probe="([^"]*)"', open(d + "/long.html.probe.dom").read()).group(1)))
print("ten-minute report: %.0f ms to load and lay out; screenshot %d ms (a small page %d ms)" % (long_info["ms"], long_ms, small_ms))
if long_info["ms"] >= 2000:
    bad.append("ten-minute report took %.0f ms to load" % long_info["ms"])
if long_ms - small_ms >= 2000:
    bad.append("ten-minute report took %d ms more than a small page to render" % (long_ms - small_ms))
print("%d charts checked" % len(info["rects"]))
for b in bad:
    print("FAIL:", b)
sys.exit(1 if bad else 0)
PY
echo "report browser check passed"
