#!/usr/bin/env python3
"""The page run.sh --view names, in headless chromium over the DevTools pipe (the hub's browser
check's client): the noVNC page connects, the control panel shows on its canvas where Windows
says it is, and a mouse click on the panel's Exit button goes through to Kestrel, whose panel
goes away. Every wait is bounded; the browser is stopped whatever happens.

usage: run-view.py <chromium> <page address> <find_control.exe> <work folder>
"""
import os
import subprocess
import sys
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
# The hub's browser client, reused: its file name is not an importable module name.
_client = os.path.join(HERE, "..", "tools", "Results", "hub-browser.py")
hub = types.ModuleType("hub_browser")
sys.modules["hub_browser"] = hub
with open(_client) as f:
    exec(compile(f.read(), _client, "exec"), hub.__dict__)
Fail = hub.Fail
IDC_EXIT = 1026


def control(finder, control_id):
    """The control's screen rectangle, or None while the panel is not there."""
    r = subprocess.run(["wine", finder, str(control_id)], capture_output=True, text=True, timeout=60)
    if r.returncode != 0:
        return None
    return [int(v) for v in r.stdout.split()]


def wait_for(what, fn, timeout=90):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        v = fn()
        if v:
            return v
        time.sleep(0.5)
    raise Fail("timed out waiting for " + what)


def main(chromium, url, finder, work):
    b = hub.Browser(chromium, os.path.join(work, "chromium"))
    try:
        b.open_page()
        b.call("Page.navigate", {"url": url})
        b.wait("document.querySelector('canvas') && document.querySelector('canvas').width >= 1600",
               "the virtual screen on the page's canvas", timeout=60)
        exit_rect = wait_for("Kestrel's control panel", lambda: control(finder, IDC_EXIT))
        # The panel is drawn on the page: the Exit button's area holds the button's face and
        # its text, not one flat colour.
        colours = b.wait(
            "(() => { const c = document.querySelector('canvas'); const [l, t, r, bt] = %s;"
            " const d = c.getContext('2d').getImageData(l, t, r - l, bt - t).data; const seen = new Set();"
            " for (let i = 0; i < d.length; i += 4) seen.add(d[i] << 16 | d[i + 1] << 8 | d[i + 2]);"
            " return seen.size >= 3 ? seen.size : 0; })()" % exit_rect,
            "the panel's Exit button on the page", timeout=30)
        # The click where a person would click: the button's middle, as the page scales the screen.
        left, top, sx, sy = b.js(
            "(() => { const c = document.querySelector('canvas'); const r = c.getBoundingClientRect();"
            " return [r.left, r.top, r.width / c.width, r.height / c.height]; })()")
        x = left + (exit_rect[0] + exit_rect[2]) / 2 * sx
        y = top + (exit_rect[1] + exit_rect[3]) / 2 * sy
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            b.call("Input.dispatchMouseEvent",
                   {"type": kind, "x": x, "y": y, "button": "left" if kind != "mouseMoved" else "none",
                    "clickCount": 1})
            time.sleep(0.1)
        wait_for("the panel to go after the click on Exit", lambda: control(finder, IDC_EXIT) is None, timeout=30)
        print("the panel showed (%d colours on its Exit button) and the click reached it" % colours)
    finally:
        b.stop()


if __name__ == "__main__":
    try:
        main(*sys.argv[1:5])
    except Fail as e:
        print("FAIL: %s" % e)
        sys.exit(1)
