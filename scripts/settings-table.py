#!/usr/bin/env python3
"""The table of scripts/wine-settings.sh: per test, condition and side the runs, mean, coefficient
of variation, worst run, the mean share of a core other processes took, the runs marked disturbed,
and each side's mean against the first side's. Loaded rows also count the runs that fell below
half the same side's quiet mean without being marked disturbed (which the mark should never
miss). Reads the raw table (round, condition, side, test, score, busy, disturbed)."""
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

    def scores(t, c, s):
        return [float(r["score"]) for r in cell.get((t, c, s), [])]

    print("| Test | Condition | Side | Runs | Mean | CV | Worst | Worst / mean | Others' share | Disturbed |"
          " Unmarked below half quiet | Mean vs %s |" % sides[0])
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for t in tests:
        for c in conds:
            base = None
            for s in sides:
                got = cell.get((t, c, s), [])
                if not got:
                    continue
                v = scores(t, c, s)
                mean = statistics.fmean(v)
                cv = statistics.stdev(v) / mean * 100 if len(v) > 1 and mean else 0.0
                busy = [float(r["busy"]) for r in got if r["busy"] not in ("", "n/a")]
                dist = sum(1 for r in got if r["disturbed"] == "1")
                quiet = scores(t, "quiet", s)
                unmarked = "-"
                if c != "quiet" and quiet:
                    half = statistics.fmean(quiet) / 2
                    unmarked = str(sum(1 for r in got if float(r["score"]) < half and r["disturbed"] != "1"))
                if base is None:
                    base = mean
                vs = "%+.1f %%" % ((mean - base) / base * 100) if base else "-"
                print("| %s | %s | %s | %d | %.0f | %s | %.0f | %.2f | %s | %d | %s | %s |" % (
                    t, c, s, len(v), mean, "%.1f %%" % cv if len(v) > 1 else "-", min(v),
                    min(v) / mean if mean else 0, "%.0f %%" % statistics.fmean(busy) if busy else "n/a",
                    dist, unmarked, vs))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
