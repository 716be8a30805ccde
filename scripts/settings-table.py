#!/usr/bin/env python3
"""The table of scripts/wine-settings.sh: per test, condition and side the runs, mean, coefficient
of variation, worst run and the runs marked disturbed, with each side's mean against the first
side's. Reads the raw table (round, condition, side, test, score, busy, disturbed)."""
import csv
import statistics
import sys


def main(path):
    rows = list(csv.DictReader(open(path), delimiter="\t"))
    if not rows:
        print("no runs scored")
        return 1
    tests, conds, sides = [], [], []
    cell = {}
    for r in rows:
        for seq, v in ((tests, r["test"]), (conds, r["condition"]), (sides, r["side"])):
            if v not in seq:
                seq.append(v)
        cell.setdefault((r["test"], r["condition"], r["side"]), []).append(r)
    print("| Test | Condition | Side | Runs | Mean | CV | Worst | Worst / mean | Disturbed | Mean vs %s |" % sides[0])
    print("|---|---|---|---|---|---|---|---|---|---|")
    for t in tests:
        for c in conds:
            base = None
            for s in sides:
                got = cell.get((t, c, s), [])
                if not got:
                    continue
                v = [float(r["score"]) for r in got]
                mean = statistics.fmean(v)
                cv = statistics.stdev(v) / mean * 100 if len(v) > 1 and mean else 0.0
                worst = min(v)
                dist = sum(1 for r in got if r["disturbed"] == "1")
                if base is None:
                    base = mean
                vs = "%+.1f %%" % ((mean - base) / base * 100) if base else "-"
                print("| %s | %s | %s | %d | %.0f | %s | %.0f | %.2f | %d | %s |" % (
                    t, c, s, len(v), mean, "%.1f %%" % cv if len(v) > 1 else "-", worst,
                    worst / mean if mean else 0, dist, vs))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
