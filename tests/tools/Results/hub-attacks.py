#!/usr/bin/env python3
"""The hub against what a stranger on the lab's network may send, on loopback and bounded in time
and count. Each attack runs while a reader (another address, 127.0.0.1) keeps asking for the list:
the attack gets its 4xx (or its connection closed), the reader is answered all along, nothing is
stored by an attack, and the hub's memory stays under 64 MB plus its largest body. Attackers
come from other loopback addresses (127.0.0.2 and up), as other machines would.

usage: hub-attacks.py KESTREL_RESULTS DB WORK   (WORK holds A-1.txt, as hub-faults.sh makes it)
"""
import gzip
import http.client
import json
import re
import socket
import subprocess
import sys
import threading
import time

MAX_MB, PER_CLIENT, REQUEST_SECONDS = 4, 16, 10


def main():
    results, db, work = sys.argv[1:4]
    text = open(work + "/A-1.txt", "rb").read()
    token = subprocess.run([results, "--db", db, "token", "add", "attacks"], check=True, capture_output=True,
                           text=True).stdout.strip()
    log = open(work + "/serve.log", "a")
    hub = subprocess.Popen([results, "--db", db, "serve", "--listen", "127.0.0.1:0", "--max-upload", str(MAX_MB),
                            "--per-client", str(PER_CLIENT)], stdout=subprocess.PIPE, stderr=log, text=True)
    m = re.search(r":(\d+)/$", hub.stdout.readline().strip())
    if not m:
        raise SystemExit("FAIL: the hub did not start")
    port = int(m.group(1))
    failures = []

    def connect(source="127.0.0.2", timeout=30):
        s = socket.create_connection(("127.0.0.1", port), timeout=timeout, source_address=(source, 0))
        return s

    def answer(s):
        """The status of the answer on s, None when the connection was closed without one."""
        data = b""
        try:
            while True:
                head, sep, body = data.partition(b"\r\n\r\n")
                if sep:
                    n = re.search(rb"(?i)\r\ncontent-length: *(\d+)", head)
                    if n and len(body) >= int(n.group(1)):
                        break
                chunk = s.recv(65536)
                if not chunk:
                    break
                data += chunk
        except (socket.timeout, ConnectionError):
            pass
        m = re.match(rb"HTTP/1\.[01] (\d{3})", data)
        return (int(m.group(1)) if m else None), data

    def send(request, source="127.0.0.2"):
        s = connect(source)
        try:
            s.sendall(request)
        except (BrokenPipeError, ConnectionResetError):
            pass
        status, data = answer(s)
        s.close()
        return status, data

    def get(path, source="127.0.0.1", headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30, source_address=(source, 0))
        conn.request("GET", path, headers=headers or {})
        res = conn.getresponse()
        body = res.read()
        conn.close()
        return res.status, res.getheaders(), body

    def memory():
        fields = dict(line.split(":", 1) for line in open("/proc/%d/status" % hub.pid))
        return int(fields["VmHWM"].split()[0]) // 1024

    def post(body, extra=b"", source="127.0.0.2"):
        return send(b"POST /api/runs HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token.encode() +
                    b"\r\nContent-Type: text/plain\r\n" + extra + b"\r\n" + body, source)

    # Some runs to read: enough that the list's answer is large.
    for k in range(30):
        body = text.replace(b"Adapter A", b"Adapter A %d" % k)
        status, data = post(body, b"Content-Length: %d\r\n" % len(body), "127.0.0.1")
        if status != 201:
            raise SystemExit("FAIL: a run was not stored: %s %s" % (status, data[-200:]))
    stored = json.loads(get("/api/runs?limit=1")[2])["total"]

    # The reader: the list, again and again, while each attack goes on; its slowest answer is kept.
    reading = {"on": True, "slowest": 0.0, "errors": []}

    def reader():
        while reading["on"]:
            t = time.time()
            try:
                status, _, _ = get("/api/runs?limit=5")
                if status != 200:
                    reading["errors"].append(status)
            except (OSError, http.client.HTTPException) as e:
                reading["errors"].append(str(e))
            reading["slowest"] = max(reading["slowest"], time.time() - t)
            time.sleep(0.05)

    def attack(name, run, expect):
        """Runs one attack while the reader reads; expect(statuses) says whether it was refused."""
        reading.update(slowest=0.0, errors=[])
        start = time.time()
        got = run()
        took = time.time() - start
        ok = expect(got)
        print("%-44s %-22s %5.1f s, reader's slowest %.2f s" % (name, str(got)[:22], took, reading["slowest"]))
        if not ok:
            failures.append("%s: answered %s" % (name, got))
        if reading["errors"] or reading["slowest"] > 5:
            failures.append("%s: the reader got %s, slowest %.1f s" % (name, reading["errors"][:3],
                                                                       reading["slowest"]))

    big_chunk = b"x" * 65536

    def chunked(total):
        s = connect()
        try:
            s.sendall(b"POST /api/runs HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + token.encode() +
                      b"\r\nTransfer-Encoding: chunked\r\n\r\n")
            sent = 0
            while sent < total:
                s.sendall(b"%x\r\n" % len(big_chunk) + big_chunk + b"\r\n")
                sent += len(big_chunk)
            s.sendall(b"0\r\n\r\n")
        except (BrokenPipeError, ConnectionResetError):
            return "closed at %d MB" % (sent >> 20)
        status, _ = answer(s)
        s.close()
        return status

    def many_ranges():
        ranges = ",".join(["0-"] * 2700)
        status, headers, body = get("/api/runs?limit=100000", "127.0.0.2", {"Range": "bytes=" + ranges})
        kind = dict((k.lower(), v) for k, v in headers).get("content-type", "")
        return status, kind.split(";")[0], len(json.loads(body)["runs"])

    def slow(count, prefix, line, source, seconds):
        """count connections sending prefix, then line a byte a second (a slow client)."""
        socks = [connect(source) for _ in range(count)]
        for s in socks:
            s.sendall(prefix)
        statuses = []
        deadline = time.time() + seconds
        alive = list(socks)
        for i in range(len(line)):
            if time.time() > deadline or not alive:
                break
            for s in list(alive):
                try:
                    s.sendall(line[i:i + 1])
                except OSError:
                    alive.remove(s)
            time.sleep(1)
        for s in socks:
            s.settimeout(3)
            statuses.append(answer(s)[0])
            s.close()
        return sorted(set(statuses), key=str)

    def too_many_connections():
        socks = []
        for _ in range(PER_CLIENT * 3):
            try:
                socks.append(connect("127.0.0.4", timeout=5))
            except OSError:
                pass
        time.sleep(0.5)
        open_ = 0
        for s in socks:
            s.setblocking(False)
            try:
                open_ += s.recv(1) != b""
            except BlockingIOError:
                open_ += 1
            except OSError:
                pass
        for s in socks:
            s.close()
        return open_

    thread = threading.Thread(target=reader)
    thread.start()
    try:
        attack("many ranges on a large answer", many_ranges,
               lambda g: g[0] == 200 and g[1] == "application/json" and g[2] == min(stored, 500))
        attack("chunked body past the limit", lambda: chunked(MAX_MB * 2 ** 20 + 2 ** 18), lambda s: s == 413)
        attack("chunked body of 400 MB", lambda: chunked(400 * 2 ** 20),
               lambda s: s == 413 or str(s).startswith("closed"))
        attack("gzip body (40 KB inflating to 40 MB)",
               lambda: post(gzip.compress(b"\0" * (40 << 20)), b"Content-Encoding: gzip\r\nContent-Length: %d\r\n" %
                            len(gzip.compress(b"\0" * (40 << 20))))[0], lambda s: s == 415)
        attack("Content-Length of 100 GB", lambda: post(b"", b"Content-Length: 107374182400\r\n")[0],
               lambda s: s == 413)
        attack("Content-Length: -1", lambda: post(b"", b"Content-Length: -1\r\n")[0], lambda s: s == 400)
        attack("body without a length", lambda: post(text)[0], lambda s: s is not None and 400 <= s < 500)
        attack("20,000 header lines", lambda: send(b"GET / HTTP/1.1\r\nHost: x\r\n" +
                                                   b"X-A: b\r\n" * 20000 + b"\r\n")[0],
               lambda s: s in (400, 431) or s is None)
        attack("65 headers", lambda: send(b"GET / HTTP/1.1\r\nHost: x\r\n" + b"".join(
            b"X-%d: b\r\n" % i for i in range(65)) + b"\r\n")[0], lambda s: s == 431)
        attack("a 100 KB header", lambda: send(b"GET / HTTP/1.1\r\nHost: x\r\nX-A: " + b"b" * 100000 +
                                               b"\r\n\r\n")[0], lambda s: s in (400, 431) or s is None)
        attack("a method the hub has no use for", lambda: send(b"DELETE /api/runs HTTP/1.1\r\nHost: x\r\n\r\n")[0],
               lambda s: s == 405)
        attack("%d connections from one address" % (PER_CLIENT * 3), too_many_connections,
               lambda n: n <= PER_CLIENT)
        # Slow clients: headers a byte a second, then bodies; each answered 408 by the request's time.
        attack("16 slow request lines", lambda: slow(PER_CLIENT, b"G", b"ET /?" + b"a" * 40, "127.0.0.5",
                                                     REQUEST_SECONDS + 4), lambda s: s == [408])
        attack("16 slow-header connections", lambda: slow(PER_CLIENT, b"GET / HTTP/1.1\r\n", b"X-A: " + b"b" * 40,
                                                          "127.0.0.5", REQUEST_SECONDS + 4), lambda s: s == [408])
        attack("16 slow-body connections", lambda: slow(PER_CLIENT, b"POST /api/runs HTTP/1.1\r\nHost: x\r\n"
                                                        b"Content-Length: 1000\r\n\r\n", b"a" * 40,
                                                        "127.0.0.6", REQUEST_SECONDS + 4), lambda s: s == [408])
        attack("16 connections sending Content-Length: -1",
               lambda: [post(b"", b"Content-Length: -1\r\n", "127.0.0.7")[0] for _ in range(16)],
               lambda s: set(s) == {400})
    finally:
        reading["on"] = False
        thread.join()
    try:
        total = json.loads(get("/api/runs?limit=1")[2])["total"]
        if total != stored:
            failures.append("the attacks stored %d runs" % (total - stored))
        peak = memory()
        print("hub memory at its peak: %d MB (bound %d MB)" % (peak, 64 + MAX_MB))
        if peak > 64 + MAX_MB:
            failures.append("memory %d MB" % peak)
        if failures:
            raise SystemExit("FAIL: " + "; ".join(failures))
        print("hub-attacks: every attack refused, the reader answered throughout")
    finally:
        hub.terminate()
        hub.wait()


if __name__ == "__main__":
    main()
