#!/usr/bin/env python3
"""The results hub under load, on loopback, on a store already filled (scripts/hub-seed.py): for
SECONDS, 16 readers ask for the listed pages at random while 64 runners submit new runs (a results
file with its frame-time record each). Prints each page's median and 99th-percentile time, the
submissions a second, and the store's size.

usage: hub-bench.py KESTREL_RESULTS DB RESULTS_FILE FRAMES_FILE SECONDS

KESTREL_HUB_READERS (default 16) sets the readers: 0 measures what the submissions alone take.
"""
import http.client
import os
import random
import re
import subprocess
import sys
import threading
import time
import uuid

READERS, RUNNERS = int(os.environ.get("KESTREL_HUB_READERS", "16")), 64
FAMILIES = ["Alder", "Birch", "Cedar", "Dogwood", "Elm", "Fir", "Gum", "Hazel", "Ironwood", "Juniper"]
VENDORS = ["Aurora", "Borealis", "Corona", "Delta", "Ember", "Flux", "Glint", "Halo"]


def main():
    results, db, results_file, frames_file, seconds = sys.argv[1:6]
    seconds = float(seconds)
    text = open(results_file, "rb").read()
    frames = open(frames_file, "rb").read()
    token = subprocess.run([results, "--db", db, "token", "add", "bench-" + uuid.uuid4().hex[:8]],
                           check=True, capture_output=True, text=True).stdout.strip()
    hub = subprocess.Popen([results, "--db", db, "serve", "--listen", "127.0.0.1:0", "--threads", "8",
                            "--per-client", "256"], stdout=subprocess.PIPE, text=True)
    try:
        port = int(re.search(r":(\d+)/$", hub.stdout.readline().strip()).group(1))
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
        conn.request("GET", "/api/runs?limit=1")
        top = int(re.search(r'"id":(\d+)', conn.getresponse().read().decode()).group(1))
        conn.close()

        def rid(rng):
            return rng.randint(1, top)

        pages = {
            "list": lambda r: "/",
            "list, an older page": lambda r: "/?before=%d" % rid(r),
            "processor search": lambda r: "/?processor=%s%%20%d" % (r.choice(FAMILIES), r.randint(1, 3)),
            "machines": lambda r: "/machines",
            "best, filtered": lambda r: "/best?processor=%s&edition=1.2" % r.choice(FAMILIES),
            "comparison of two runs": lambda r: "/compare?id=%d&id=%d" % (rid(r), rid(r)),
            "api: 500 runs": lambda r: "/api/runs?limit=500&before=%d" % rid(r),
            "api: one run": lambda r: "/api/runs/%d" % rid(r),
            "api: best, filtered": lambda r: "/api/best?test=%d&adapter=%s" % (r.randrange(10), r.choice(VENDORS)),
        }
        times = {name: [] for name in pages}
        errors, stored = [], [0]
        lock = threading.Lock()
        end = time.time() + seconds
        mark = uuid.uuid4().hex[:8].encode()

        def reader(n):
            rng = random.Random(n)
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
            names = list(pages)
            while time.time() < end:
                name = rng.choice(names)
                path = pages[name](rng)
                t = time.time()
                try:
                    c.request("GET", path)
                    res = c.getresponse()
                    res.read()
                except (OSError, http.client.HTTPException) as e:
                    c = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
                    with lock:
                        errors.append("%s: %s" % (path, e))
                    continue
                took = (time.time() - t) * 1000
                with lock:
                    if res.status == 200:
                        times[name].append(took)
                    else:
                        errors.append("%s: %d" % (path, res.status))

        def runner(n):
            c = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
            k = 0
            while time.time() < end:
                k += 1
                boundary = "b" + uuid.uuid4().hex
                body = text.replace(b"Adapter A", b"Adapter A %s-%d-%d" % (mark, n, k))
                parts = [(b"run", b"Kestrel.txt", body), (b"frames", b"KestrelFrames.csv", frames)]
                payload = b"".join(
                    b"--" + boundary.encode() + b"\r\nContent-Disposition: form-data; name=\"" + p +
                    b"\"; filename=\"" + f + b"\"\r\n\r\n" + b + b"\r\n" for p, f, b in parts)
                payload += b"--" + boundary.encode() + b"--\r\n"
                try:
                    c.request("POST", "/api/runs", payload, {
                        "Authorization": "Bearer " + token,
                        "Content-Type": "multipart/form-data; boundary=" + boundary})
                    res = c.getresponse()
                    answer = res.read().decode()
                except (OSError, http.client.HTTPException) as e:
                    c = http.client.HTTPConnection("127.0.0.1", port, timeout=60)
                    with lock:
                        errors.append("submit: %s" % e)
                    continue
                with lock:
                    if res.status == 201:
                        stored[0] += 1
                    else:
                        errors.append("submit: %d %s" % (res.status, answer[:100]))

        start = time.time()
        workers = [threading.Thread(target=reader, args=(i,)) for i in range(READERS)]
        workers += [threading.Thread(target=runner, args=(i,)) for i in range(RUNNERS)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        took = time.time() - start
        for name, ts in times.items():
            ts.sort()
            if ts:
                print("%-24s %6d answers: %7.1f ms median, %7.1f ms 99th percentile" %
                      (name, len(ts), ts[len(ts) // 2], ts[min(len(ts) - 1, int(len(ts) * 0.99))]))
        print("submissions: %d runs (%d frames each) by %d runners in %.0f s: %.0f runs/s" %
              (stored[0], frames.count(b"\n") - 1, RUNNERS, took, stored[0] / took))
        if db.startswith("postgres"):
            size = subprocess.run(["psql", db, "-Atc", "SELECT pg_database_size(current_database())"],
                                  capture_output=True, text=True).stdout.strip()
        else:
            size = os.path.getsize(db)
        print("store: %d runs, %.0f MB" % (top + stored[0], int(size) / 2 ** 20))
        if errors:
            print("%d errors, e.g. %s" % (len(errors), "; ".join(errors[:3])))
    finally:
        hub.terminate()
        hub.wait()


if __name__ == "__main__":
    main()
