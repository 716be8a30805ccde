#!/usr/bin/env python3
"""Fills an empty results store with RUNS runs of realistic variety, in bulk: many processors and
adapters (a few common, most rare), three editions, options on and off, one to five passes a run,
each test scored where it was ticked. COPY on PostgreSQL, one transaction on SQLite; the rows are
those an import writes (the per-run summaries included), without frame times.

usage: hub-seed.py KESTREL_RESULTS DB RESULTS_FILE RUNS [SEED]

RESULTS_FILE is a results file the store reads as the template of every pass's fields and scores.
"""
import os
import random
import sqlite3
import subprocess
import sys
import tempfile
import time
import zlib

FAMILIES = ["Alder", "Birch", "Cedar", "Dogwood", "Elm", "Fir", "Gum", "Hazel", "Ironwood", "Juniper"]
VENDORS = ["Aurora", "Borealis", "Corona", "Delta", "Ember", "Flux", "Glint", "Halo"]
EDITIONS = [("1.2", 0.8), ("1.1", 0.15), ("1.0", 0.05)]


def template(results, results_file):
    """The fields and scores of one pass as the store keeps them, read from an import of its own."""
    with tempfile.TemporaryDirectory() as d:
        db = os.path.join(d, "t.db")
        subprocess.run([results, "--db", db, "import", results_file], check=True, capture_output=True)
        c = sqlite3.connect(db)
        fields = c.execute("SELECT section, seq, label, value FROM field ORDER BY section, seq").fetchall()
        scores = c.execute("SELECT seq, test, scored, score, fps FROM score ORDER BY seq").fetchall()
        version = c.execute("SELECT version FROM pass").fetchone()[0]
        c.close()
    return fields, scores, version


def machines(rng):
    """Processors and adapters, each pair a machine; a few common, most rare (weights)."""
    cpus = ["%s %d %d MHz" % (f, g, mhz) for f in FAMILIES for g in (1, 2, 3) for mhz in (450, 600, 733, 866, 1000)]
    gpus = ["%s %s %d MB" % (v, s, mb) for v in VENDORS for s in ("Lite", "Pro", "Max", "Ultra") for mb in (16, 32, 64)]
    pairs = [(c, g) for c in cpus for g in gpus if rng.random() < 0.12]
    weights = [1.0 / (i + 1) for i in range(len(pairs))]
    rng.shuffle(pairs)
    return pairs, weights


def main():
    results, db, results_file, runs = sys.argv[1:5]
    runs = int(runs)
    rng = random.Random(int(sys.argv[5]) if len(sys.argv) > 5 else 1)
    fields, scores, version = template(results, results_file)
    test_names = [s[1] for s in scores]
    pairs, weights = machines(rng)
    # The store's schema, made by the program itself; the store must hold no run yet.
    subprocess.run([results, "--db", db, "list"], check=True, capture_output=True)
    pg = db.startswith("postgres")
    tables = {
        "machine": "id, processor, adapter, runs, latest",
        "run": "id, hash, label, source, args, imported, machine_id, passes, tests",
        "pass": "id, run_id, number, seconds, version, overall_scored, overall, overall_fps",
        "field": "pass_id, section, seq, label, value",
        "score": "pass_id, seq, test, scored, score, fps",
        "run_test": "run_id, test, mean, passes, machine_id, edition",
    }
    if pg:
        # One COPY a table, at once: the references between them are checked by none (the rows are
        # whole when all are in), as a restore does.
        sinks = {t: subprocess.Popen(["psql", db, "-qv", "ON_ERROR_STOP=1", "-c", "SET session_replication_role = replica",
                                      "-c", "COPY %s (%s) FROM STDIN" % (t, cols)], stdin=subprocess.PIPE)
                 for t, cols in tables.items()}
        rows = {t: [] for t in tables}

        def put(table, row):
            rows[table].append("\t".join(str(v) for v in row))
            if len(rows[table]) >= 5000:
                sinks[table].stdin.write(("\n".join(rows[table]) + "\n").encode())
                rows[table].clear()
    else:
        conn = sqlite3.connect(db)
        conn.execute("PRAGMA synchronous = OFF")
        conn.execute("BEGIN")
        rows = {t: [] for t in tables}
        inserts = {t: "INSERT INTO %s (%s) VALUES (%s)" % (t, cols, ", ".join("?" * (cols.count(",") + 1)))
                   for t, cols in tables.items()}

        def put(table, row):
            rows[table].append(row)
            if len(rows[table]) >= 5000:
                conn.executemany(inserts[table], rows[table])
                rows[table].clear()

    start = time.time()
    counts = {}
    latest = {}
    pass_id = 0
    machine_ids = {}
    epoch = 1700000000
    for run_id in range(1, runs + 1):
        m = rng.choices(range(len(pairs)), weights)[0]
        mid = machine_ids.setdefault(m, len(machine_ids) + 1)
        counts[mid] = counts.get(mid, 0) + 1
        latest[mid] = run_id
        cpu, gpu = pairs[m]
        speed = 0.5 + (zlib.crc32(cpu.encode()) % 100) / 100.0 + (zlib.crc32(gpu.encode()) % 100) / 50.0
        edition = rng.choices([e for e, _ in EDITIONS], [w for _, w in EDITIONS])[0]
        npass = rng.choices([1, 3, 5], [0.7, 0.25, 0.05])[0]
        ticked = [rng.random() < 0.97 for _ in test_names]
        options = {label: rng.choice(["Yes", "No"]) for section, _, label, value in fields
                   if section == "options" and value in ("Yes", "No") and label not in test_names}
        sums = [0.0] * len(test_names)
        for p in range(1, npass + 1):
            pass_id += 1
            overall = 0
            for section, seq, label, value in fields:
                if section == "system" and label == "Processor Type":
                    value = cpu
                elif section == "system" and label == "Display Adapter":
                    value = gpu
                elif section == "options" and label in options:
                    value = options[label]
                elif section == "options" and label in test_names:
                    value = "Yes" if ticked[test_names.index(label)] else "No"
                put("field", (pass_id, section, seq, label, value))
            for i, (seq, test, _, score, fps) in enumerate(scores):
                got = int(score * speed * rng.uniform(0.97, 1.03)) if ticked[i] else 0
                sums[i] += got
                overall += got
                put("score", (pass_id, seq, test, int(ticked[i]), got, round(fps * speed, 2) if ticked[i] else 0))
            put("pass", (pass_id, run_id, p, 60.0, edition, int(all(ticked)), overall // 10, 0.0))
        tests = 0
        for i in range(len(test_names)):
            if ticked[i]:
                tests |= 1 << i
                put("run_test", (run_id, i, sums[i] / npass, npass, mid, edition))
        stamp = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch + run_id * 60))
        put("run", (run_id, "seed%058x" % run_id, "seeded %d" % run_id, "Kestrel.txt", "", stamp, mid, npass, tests))
    for m, mid in machine_ids.items():
        put("machine", (mid, pairs[m][0], pairs[m][1], counts[mid], latest[mid]))
    if pg:
        for t, sink in sinks.items():
            if rows[t]:
                sink.stdin.write(("\n".join(rows[t]) + "\n").encode())
            sink.stdin.close()
        for t, sink in sinks.items():
            if sink.wait():
                raise SystemExit("FAIL: COPY %s" % t)
        # The sequences past the ids written, then the statistics a planner needs.
        subprocess.run(["psql", db, "-qv", "ON_ERROR_STOP=1", "-c",
                        "SELECT setval(pg_get_serial_sequence('run', 'id'), (SELECT max(id) FROM run));"
                        "SELECT setval(pg_get_serial_sequence('pass', 'id'), (SELECT max(id) FROM pass));"
                        "SELECT setval(pg_get_serial_sequence('machine', 'id'), (SELECT max(id) FROM machine));"
                        "ANALYZE;"], check=True, capture_output=True)
    else:
        for t in tables:
            if rows[t]:
                conn.executemany(inserts[t], rows[t])
        conn.execute("COMMIT")
        conn.execute("ANALYZE")
        conn.execute("PRAGMA wal_checkpoint(TRUNCATE)")
        conn.close()
    print("seeded %d runs (%d passes, %d machines) in %.0f s" % (runs, pass_id, len(machine_ids),
                                                                 time.time() - start))


if __name__ == "__main__":
    main()
