#!/usr/bin/env python3
"""The hub's pages used as a person uses them, in Debian's chromium (headless), driven over the
DevTools protocol on a pipe: runs stored through the upload form (files chosen, token and name
typed, the button clicked), one named with markup and quotes; the run found in the list and opened
by its link; runs ticked and compared, and the comparison's charts drawn. Every page shows the
name as text and runs nothing of it. Every wait is bounded; the browser is stopped whatever
happens.

usage: hub-browser.py <chromium> <hub address> <token> <work folder>
"""
import fcntl
import json
import os
import re
import select
import signal
import subprocess
import sys
import time

EVIL = '<img src=x onerror="document.title=1"><script>document.title=2</script> "Bench" & ' + "'Lab'"
# The second machine's adapter, as its results file names it.
ADAPTER = 'Adapter "B" <fast>'
WAIT_S = 30


class Fail(Exception):
    pass


class Browser:
    """One headless chromium; the protocol's messages are JSON ended by a NUL on fds 3 and 4."""

    def __init__(self, chromium, profile):
        to_r, self.to_w = os.pipe()
        self.from_r, from_w = os.pipe()
        # Above 4, so that placing them on 3 and 4 in the child overwrites nothing of theirs.
        hi_r, hi_w = fcntl.fcntl(to_r, fcntl.F_DUPFD, 10), fcntl.fcntl(from_w, fcntl.F_DUPFD, 10)

        def place():
            os.dup2(hi_r, 3)
            os.dup2(hi_w, 4)

        self.proc = subprocess.Popen(
            [chromium, "--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run", "--hide-scrollbars",
             "--remote-debugging-pipe", "--window-size=1000,800", "--user-data-dir=" + profile, "about:blank"],
            pass_fds=(3, 4), preexec_fn=place, start_new_session=True,
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(profile + ".log"), "wb"))
        for fd in (to_r, from_w, hi_r, hi_w):
            os.close(fd)
        self.buf, self.next_id, self.session = b"", 0, None

    def stop(self):
        try:
            self.call("Browser.close", timeout=5)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass
        # Its renderers are in its own process group.
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait()

    def _message(self, deadline):
        while b"\0" not in self.buf:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_r], [], [], left)[0]:
                raise Fail("the browser did not answer in time")
            chunk = os.read(self.from_r, 1 << 20)
            if not chunk:
                raise Fail("the browser closed its pipe (exit %s)" % self.proc.poll())
            self.buf += chunk
        text, self.buf = self.buf.split(b"\0", 1)
        return json.loads(text)

    def call(self, method, params=None, timeout=WAIT_S, page=True):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if page and self.session:
            msg["sessionId"] = self.session
        os.write(self.to_w, json.dumps(msg).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            answer = self._message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise Fail("%s: %s" % (method, answer["error"].get("message")))
                return answer.get("result", {})

    def open_page(self):
        target = self.call("Target.createTarget", {"url": "about:blank"}, page=False)["targetId"]
        self.session = self.call("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 page=False)["sessionId"]
        self.call("Page.enable")
        self.call("Runtime.enable")

    def js(self, expr):
        r = self.call("Runtime.evaluate", {"expression": expr, "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in r:
            raise Fail("script %r: %s" % (expr[:80], r["exceptionDetails"].get("text")))
        return r["result"].get("value")

    def wait(self, expr, what, timeout=WAIT_S):
        deadline = time.monotonic() + timeout
        last = None
        while time.monotonic() < deadline:
            try:
                v = self.js(expr)
                if v:
                    return v
            except Fail as e:  # a document going away under the script
                last = e
            time.sleep(0.1)
        raise Fail("timed out after %d s waiting for %s%s" % (timeout, what, " (%s)" % last if last else ""))

    # A new document has loaded: the old one carried a mark that a new one lacks.
    def _mark(self):
        self.js("window.__kestrelOld = 1")

    def _loaded(self, what):
        return self.wait("!window.__kestrelOld && document.readyState === 'complete' && location.href",
                         "the page after " + what)

    def go(self, url):
        self._mark()
        self.call("Page.navigate", {"url": url})
        return self._loaded("opening " + url)

    def click(self, expr, what, navigates=True):
        """Clicks the middle of the element expr names with the mouse, where a person would."""
        at = self.js("(() => { const e = %s; if (!e) return null; e.scrollIntoView({block: 'center'});"
                     " const r = e.getBoundingClientRect(); const x = r.left + r.width / 2, y = r.top + r.height / 2;"
                     " return document.elementFromPoint(x, y) === e || e.contains(document.elementFromPoint(x, y))"
                     " ? [x, y] : 'covered'; })()" % expr)
        if not at:
            raise Fail("no %s on %s" % (what, self.js("location.href")))
        if at == "covered":
            raise Fail("the %s cannot be clicked: something covers it" % what)
        if navigates:
            self._mark()
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent",
                      {"type": kind, "x": at[0], "y": at[1], "button": "left" if kind != "mouseMoved" else "none",
                       "clickCount": 1})
        return self._loaded("clicking the " + what) if navigates else None

    def type(self, selector, text):
        self.click("document.querySelector(%s)" % json.dumps(selector), selector, navigates=False)
        if not self.js("document.activeElement === document.querySelector(%s)" % json.dumps(selector)):
            raise Fail("%s did not take the focus" % selector)
        self.call("Input.insertText", {"text": text})
        if self.js("document.querySelector(%s).value" % json.dumps(selector)) != text:
            raise Fail("%s does not hold what was typed" % selector)

    def choose_files(self, selector, paths):
        root = self.call("DOM.getDocument", {"depth": 0})["root"]["nodeId"]
        node = self.call("DOM.querySelector", {"nodeId": root, "selector": selector})["nodeId"]
        if not node:
            raise Fail("no %s on the upload form" % selector)
        self.call("DOM.setFileInputFiles", {"nodeId": node, "files": paths})
        if self.js("document.querySelector(%s).files.length" % json.dumps(selector)) != len(paths):
            raise Fail("%s did not take its files" % selector)


# Each page's title as the hub writes it: one that differs is one a machine's text changed.
TITLES = [
    (r"/$|/\?", "Runs - Kestrel results"),
    (r"/machines$", "Machines - Kestrel results"),
    (r"/best", "Best runs - Kestrel results"),
    (r"/upload$", "Upload a run - Kestrel results"),
    (r"/(runs/\d+|compare\?)", "Kestrel results"),
]


def check_page(b, shows_name, title=None):
    """The machine's name is text here: nothing of it ran or became an element."""
    url = b.js("location.href")
    path = url.split("/", 3)[3] if url.count("/") >= 3 else ""
    if title is None:
        title = next((t for p, t in TITLES if re.match(p, "/" + path)), None)
    page = b.js("({title: document.title, made: document.querySelectorAll('img, script, iframe, object').length,"
                " text: document.body.innerText, html: document.documentElement.outerHTML})")
    if page["title"] != title:
        raise Fail("%s: the title is %r, not %r: the machine's markup ran" % (url, page["title"], title))
    if page["made"] or re.search(r"<img[^>]*src=\"x\"", page["html"]) or "<script>document.title" in page["html"]:
        raise Fail("%s: the machine's markup became elements" % url)
    if shows_name and EVIL not in page["text"]:
        raise Fail("%s: the machine's name is not shown as written" % url)
    return page


def upload(b, hub, d, run, frames, token, label):
    """The form opened, filled in and sent; where the browser lands."""
    b.go(hub + "/upload")
    check_page(b, False)
    b.choose_files("#run", [os.path.join(d, run)])
    b.choose_files("#frames", [os.path.join(d, frames)])
    b.type("#token", token)
    b.type("#label", label)
    return b.click("document.getElementById('send')", "upload button")


# The hub's navigation link with that text.
NAV = "[...document.querySelectorAll('nav a')].find(a => a.textContent === %s)"


def run_row(name):
    return "[...document.querySelectorAll('tr')].find(r => r.cells[3] && r.cells[3].innerText === %s)" % json.dumps(name)


def _too_long(*_):
    # A bound on the whole check, whatever the browser does.
    raise Fail("the check took over 200 s")


def main():
    chromium, hub, token, d = sys.argv[1], sys.argv[2], sys.argv[3], os.path.abspath(sys.argv[4])
    hub = hub.rstrip("/")
    signal.signal(signal.SIGALRM, _too_long)
    signal.alarm(200)
    b = Browser(chromium, os.path.join(d, "profile"))
    steps = []
    try:
        b.open_page()
        t0 = time.monotonic()
        landed = upload(b, hub, d, "A-1.txt", "AFrames-1.csv", token, EVIL)
        m = re.search(r"/runs/(\d+)$", landed)
        if not m:
            raise Fail("the upload landed on %s, not on the run's page" % landed)
        evil_id = m.group(1)
        page = check_page(b, True)
        if "Game1 (Low)" not in page["text"]:
            raise Fail("the run's page lacks its scores")
        other = upload(b, hub, d, "B-1.txt", "BFrames-1.csv", token, "machine B")
        if not re.search(r"/runs/\d+$", other) or other.endswith("/runs/" + evil_id):
            raise Fail("the second upload landed on %s" % other)
        # A wrong token: refused with the form again, and nothing stored.
        refused = upload(b, hub, d, "A-3.txt", "AFrames-3.csv", "kt_wrong", "refused")
        if not refused.endswith("/upload"):
            raise Fail("an upload with a wrong token landed on %s" % refused)
        page = check_page(b, False, "Not stored - Kestrel results")
        if "valid token" not in page["text"] or not b.js("!!document.getElementById('send')"):
            raise Fail("the refusal does not say why or offer the form again: %r" % page["text"][:300])
        steps.append("3 uploads %.1f s" % (time.monotonic() - t0))

        # From the page the upload landed on back to the list by the hub's navigation, and the
        # run opened again by its link there.
        b.go(other)
        b.click(NAV % json.dumps("Runs"), "Runs link of a run's page")
        page = check_page(b, True)
        if ADAPTER not in page["text"]:
            raise Fail("the list does not show the adapter's name as written")
        if "2 runs stored." not in page["text"]:
            raise Fail("the list does not count 2 runs: %r" % page["text"][:300])
        opened = b.click(run_row(EVIL) + ".querySelector('a')", "link of the uploaded run")
        if not opened.endswith("/runs/" + evil_id):
            raise Fail("the list's link leads to %s, not to run %s" % (opened, evil_id))
        check_page(b, True)

        # Both runs ticked and compared.
        b.click(NAV % json.dumps("Runs"), "Runs link of a run's page")
        for name in (EVIL, "machine B"):
            box = run_row(name) + ".querySelector('input[type=checkbox]')"
            b.click(box, "box of " + name, navigates=False)
            if not b.js(box + ".checked"):
                raise Fail("the box of %s is not ticked after a click" % name)
        t0 = time.monotonic()
        compared = b.click("document.getElementById('compare')", "compare button")
        ids = sorted(re.findall(r"[?&]id=(\d+)", compared))
        if len(ids) != 2 or evil_id not in ids:
            raise Fail("the comparison opened is %s" % compared)
        page = check_page(b, True)
        if "machine B" not in page["text"]:
            raise Fail("the comparison lacks the second run")
        charts = b.js("""[...document.querySelectorAll('svg.chart')].map(s => {
            const r = s.getBoundingClientRect();
            const marks = [...s.querySelectorAll('rect, circle, path')].filter(m => {
                const x = m.getBBox(); return x.width > 0 || x.height > 0; }).length;
            return [Math.round(r.width), Math.round(r.height), marks]; })""")
        if len(charts) < 10:
            raise Fail("the comparison has %d charts" % len(charts))
        for k, (w, h, marks) in enumerate(charts):
            if w <= 0 or h <= 0 or marks == 0:
                raise Fail("chart %d is empty (%dx%d, %d marks drawn)" % (k, w, h, marks))
        steps.append("comparison %.1f s, %d charts" % (time.monotonic() - t0, len(charts)))

        # The other pages, reached by the navigation from the comparison on.
        for link in ("Machines", "Best runs", "Upload"):
            b.click(NAV % json.dumps(link), link + " link")
            page = check_page(b, False)
            if link == "Machines" and ADAPTER not in page["text"]:
                raise Fail("the machines do not show the adapter's name as written")
    finally:
        b.stop()
        signal.alarm(0)
    print("; ".join(steps))


if __name__ == "__main__":
    try:
        main()
    except Fail as e:
        print("FAIL:", e)
        sys.exit(1)
