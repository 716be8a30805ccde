#!/usr/bin/env python3
"""The hub's faults, bounded and on loopback: runners submit while the hub is killed (SIGKILL) and
started again, and (with PostgreSQL) while the database server restarts. Each runner keeps a run
until the hub has answered for it, as the runner's spool does. At the end every run is stored
exactly once and whole (each with its one pass and all ten tests).

usage: hub-faults.py KESTREL_RESULTS DB RESULTS_FILE WORK [PG_FOLDER]
"""
import http.client
import json
import re
import signal
import subprocess
import sys
import threading
import time

RUNNERS, RUNS = 8, 25


def main():
    results, db, results_file, work = sys.argv[1:5]
    pg_folder = sys.argv[5] if len(sys.argv) > 5 else ""
    text = open(results_file, "rb").read()
    token = subprocess.run([results, "--db", db, "token", "add", "faults"], check=True, capture_output=True,
                           text=True).stdout.strip()
    log = open(work + "/serve.log", "a")

    def start(port):
        hub = subprocess.Popen([results, "--db", db, "serve", "--listen", "127.0.0.1:%d" % port],
                               stdout=subprocess.PIPE, stderr=log, text=True)
        line = hub.stdout.readline().strip()
        m = re.search(r":(\d+)/$", line)
        if not m:
            raise SystemExit("FAIL: the hub did not start: " + line)
        return hub, int(m.group(1))

    hub, port = start(0)
    stored, lock, deadline = [0], threading.Lock(), time.time() + 120
    failures = []

    def runner(r):
        for k in range(RUNS):
            body = text.replace(b"Adapter A", b"Adapter A %d-%d" % (r, k))
            while True:
                if time.time() > deadline:
                    failures.append("runner %d run %d never stored" % (r, k))
                    return
                try:
                    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                    conn.request("POST", "/api/runs", body, {"Authorization": "Bearer " + token})
                    res = conn.getresponse()
                    res.read()
                    conn.close()
                    if res.status in (200, 201):
                        with lock:
                            stored[0] += 1
                        break
                    if res.status != 503:
                        failures.append("runner %d run %d: %d" % (r, k, res.status))
                        return
                except (OSError, http.client.HTTPException):
                    pass
                time.sleep(0.1)

    threads = [threading.Thread(target=runner, args=(r,)) for r in range(RUNNERS)]
    for t in threads:
        t.start()

    def wait_for(n):
        while stored[0] < n and time.time() < deadline and any(t.is_alive() for t in threads):
            time.sleep(0.01)

    # The hub killed mid-submission, started again on its port.
    wait_for(RUNNERS * RUNS // 4)
    hub.send_signal(signal.SIGKILL)
    hub.wait()
    time.sleep(0.3)
    hub, _ = start(port)
    if pg_folder:
        # The database server restarted under load.
        wait_for(RUNNERS * RUNS // 2)
        subprocess.run(["bash", sys.argv[0].replace("hub-faults.py", "pg-cluster.sh"), "restart", pg_folder],
                       check=True)
    for t in threads:
        t.join()
    try:
        if failures:
            raise SystemExit("FAIL: " + "; ".join(failures[:5]))
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        conn.request("GET", "/api/runs?limit=1000")
        listed = json.loads(conn.getresponse().read())
        runs = listed["runs"]
        adapters = {r["adapter"] for r in runs}
        half = [r["id"] for r in runs if r["passes"] != 1 or len(r["tests"]) != 10]
        if listed["total"] != RUNNERS * RUNS or len(adapters) != RUNNERS * RUNS or half:
            raise SystemExit("FAIL: %d runs stored, %d distinct, half-stored: %s" %
                             (listed["total"], len(adapters), half[:10]))
        print("hub-faults: %d runs each stored once and whole%s" %
              (RUNNERS * RUNS, " (PostgreSQL restarted under load)" if pg_folder else ""))
    finally:
        hub.terminate()
        hub.wait()


if __name__ == "__main__":
    main()
