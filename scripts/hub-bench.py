#!/usr/bin/env python3
"""The results hub under load, on loopback: submissions per second from many runners at once, then
the comparison page's and the list's time at the size reached.

usage: hub-bench.py KESTREL_RESULTS DB RESULTS_FILE FRAMES_FILE RUNS THREADS

DB is an SQLite file or a postgresql:// address (emptied by the caller). Every run is the results
file with its frame-time record, made distinct by its adapter's name. Prints one line per figure.
"""
import http.client
import random
import re
import subprocess
import sys
import threading
import time
import uuid


def main():
    results, db, results_file, frames_file, runs, threads = sys.argv[1:7]
    runs, threads = int(runs), int(threads)
    text = open(results_file, "rb").read()
    frames = open(frames_file, "rb").read()
    token = subprocess.run([results, "--db", db, "token", "add", "bench-" + uuid.uuid4().hex[:8]],
                           check=True, capture_output=True, text=True).stdout.strip()
    hub = subprocess.Popen([results, "--db", db, "serve", "--listen", "127.0.0.1:0", "--threads", "16"],
                           stdout=subprocess.PIPE, text=True)
    try:
        port = int(re.search(r":(\d+)/$", hub.stdout.readline().strip()).group(1))
        ids, errors = [], []
        lock = threading.Lock()

        def runner(first):
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
            for k in range(first, runs, threads):
                boundary = "b" + uuid.uuid4().hex
                body = text.replace(b"Adapter A", b"Adapter A #%d" % k)
                parts = [(b"run", b"Kestrel.txt", body), (b"frames", b"KestrelFrames.csv", frames)]
                payload = b"".join(
                    b"--" + boundary.encode() + b"\r\nContent-Disposition: form-data; name=\"" + n +
                    b"\"; filename=\"" + f + b"\"\r\n\r\n" + c + b"\r\n" for n, f, c in parts)
                payload += b"--" + boundary.encode() + b"--\r\n"
                conn.request("POST", "/api/runs", payload, {
                    "Authorization": "Bearer " + token,
                    "Content-Type": "multipart/form-data; boundary=" + boundary})
                res = conn.getresponse()
                answer = res.read().decode()
                with lock:
                    if res.status == 201:
                        ids.append(int(re.search(r'"id":(\d+)', answer).group(1)))
                    else:
                        errors.append("%d %s" % (res.status, answer))

        start = time.time()
        workers = [threading.Thread(target=runner, args=(i,)) for i in range(threads)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()
        seconds = time.time() - start
        print("submissions: %d runs (%d frames each) by %d runners in %.1f s: %.0f runs/s, %d refused%s" %
              (len(ids), frames.count(b"\n") - 1, threads, seconds, len(ids) / seconds, len(errors),
               (" (" + errors[0] + ")") if errors else ""))

        def timed(path, count):
            conn = http.client.HTTPConnection("127.0.0.1", port, timeout=120)
            times = []
            for _ in range(count):
                t = time.time()
                conn.request("GET", path())
                res = conn.getresponse()
                res.read()
                if res.status != 200:
                    raise SystemExit("GET %s: %d" % (path(), res.status))
                times.append((time.time() - t) * 1000)
            times.sort()
            return times[len(times) // 2], times[min(len(times) - 1, int(len(times) * 0.99))]

        if db.startswith("postgres"):
            # Statistics as the server's own analysis would have them after such a load: the
            # figures below are of a hub that filled over time, not during its first minute.
            subprocess.run(["psql", db, "-qc", "ANALYZE"], check=True)
        rng = random.Random(1)
        p50, p99 = timed(lambda: "/compare?id=%d&id=%d" % tuple(rng.sample(ids, 2)), 200)
        print("comparison page of two runs: %.1f ms median, %.1f ms 99th percentile" % (p50, p99))
        p50, p99 = timed(lambda: "/api/runs?limit=1000&offset=%d" % rng.randrange(0, max(1, len(ids) - 1000)), 50)
        print("a list of 1000 runs (JSON): %.1f ms median, %.1f ms 99th percentile" % (p50, p99))
    finally:
        hub.terminate()
        hub.wait()


if __name__ == "__main__":
    main()
