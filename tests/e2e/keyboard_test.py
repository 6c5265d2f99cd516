#!/usr/bin/env python3
"""Marrowfin without a mouse: the real Marrowfin.exe under Xvfb, driven by key
strokes alone (xdotool; the pointer is parked off the window before it opens
and never moves). It adds two video pages, starts the download, stops it,
removes one item and renames the other. What it checks it reads as a screen
reader does, through MSAA from another process (window_probe msaa): the
grid's rows (name, value, state) while the download runs, and the movie's
buttons.

usage: keyboard_test.py BIN_DIR WINE_RUN MOVIE_FILE"""
import glob
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop_driver import QUIET, SiteHandler, Window, fail, serve, wait_for, xdotool  # noqa: E402

BIN, WINE_RUN, MOVIE = sys.argv[1:4]
PREFIX = os.environ["WINEPREFIX"]
WINDOW = Window(BIN, WINE_RUN, MOVIE)
CLIP = bytes((i * 7 + i // 251) & 0xFF for i in range(4 << 20))
FOCUSED, SELECTED, PRESSED = 0x4, 0x2, 0x8


class Site(SiteHandler):
    """Any page under /angryalien.com/ shows the one video, which trickles."""

    def _answer(self, body_wanted):
        if self.path.startswith("/angryalien.com/"):
            body, kind = ('<html><embed src="http://127.0.0.1:%d/media/slow.swf"></html>'
                          % self.server.server_port).encode(), "text/html"
        elif self.path == "/media/slow.swf":
            body, kind = CLIP, "application/x-shockwave-flash"
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            for at in range(0, len(body) if body_wanted else 0, 32_768):
                self.wfile.write(body[at:at + 32_768])
                time.sleep(0.25 if kind != "text/html" else 0)
        except OSError:
            pass  # the program stopped the transfer


def probe():
    lines = subprocess.run([WINE_RUN, os.path.join(BIN, "window_probe.exe"), "msaa"],
                           timeout=30, capture_output=True, stdin=subprocess.DEVNULL,
                           text=True).stdout.splitlines()
    if not lines or lines[-1] != "end":
        fail("MSAA cannot read the window: %s" % lines)
    return [line.split("|") for line in lines[:-1]]


def read():
    """The grid's rows as (name, value, state), the movie's buttons as {name: state}."""
    parts = probe()
    rows = [(p[1], p[2], int(p[3], 16)) for p in parts if p[0] == "row"]
    buttons = {p[1]: int(p[3], 16) for p in parts if p[0] == "button"}
    return rows, buttons


def window_enabled():
    return ["window", "enabled"] in probe()


def keys(*names):
    for name in names:
        xdotool("key", "--delay", 120, name)


def main():
    server = serve(Site)
    page = "http://127.0.0.1:%d/angryalien.com/k" % server.server_port
    key = r"HKCU\Software\Tallowmere Marrowfin\Settings"
    for args in (["reg", "add", key, "/v", "Download Dir", "/d", r"C:\e2e-keys", "/f"],
                 ["reg", "add", key, "/v", "URL Mon", "/d", "False", "/f"],
                 ["regsvr32", "/s", "Z:" + os.path.join(BIN, "Sabledrift.dll").replace("/", "\\")]):
        subprocess.run([WINE_RUN, *args], timeout=60, **QUIET)
    kept = os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Local", "Tallowmere Marrowfin")
    leftovers = [os.path.join(kept, "queue.json*"),
                 os.path.join(PREFIX, "drive_c", "e2e-keys", "*")]

    def forget():  # the kept list and the stopped video, before and after
        for path in (p for pattern in leftovers for p in glob.glob(pattern)):
            os.remove(path)
    forget()
    xdotool("mousemove", 0, 0)  # away from where the window opens
    program = subprocess.Popen([WINE_RUN, os.path.join(BIN, "Marrowfin.exe")], **QUIET)
    try:
        wait_for("the main window", WINDOW.rect, 60)
        time.sleep(1.0)
        # The address field has the focus; Enter adds what it holds and empties it.
        for n in "12":
            xdotool("type", "--delay", 15, page + n)
            keys("Return")
        rows = wait_for("two rows", lambda: len(read()[0]) == 2 and read()[0], 30)
        if [r[0] for r in rows] != [page + "1", page + "2"]:  # no name yet: the address
            fail("rows named %s" % rows)
        print("added", [r[:2] for r in rows])

        keys("alt+t")  # Start downloading
        running = wait_for("a row downloading", lambda: (s := read()) and any(
            re.fullmatch(r"\d+ %", r[1]) for r in s[0]) and s, 60)
        if "Stop downloading" not in running[1] or "Start downloading" in running[1]:
            fail("buttons during the run: %s" % running[1])
        print("while downloading:", running[0][0][:2], "buttons:", sorted(running[1]))

        keys("alt+o")  # Stop downloading, which asks first
        wait_for("the question", lambda: not window_enabled(), 30)
        keys("Return")  # "Yes", the question's default
        stopped = wait_for("the run stopped", lambda: (s := read()) and "Start downloading" in s[1]
                           and s, 30)
        if stopped[0][0][1] != "Cancelled":
            fail("the stopped item reads %s" % (stopped[0][0],))

        # Backwards from the address field, past the title bar, into the grid.
        for _ in range(12):
            keys("shift+Tab")
            if any(r[2] & FOCUSED for r in read()[0]):
                break
        keys("Down", "Up")  # the first row, selected
        rows = read()[0]
        if not rows[0][2] & SELECTED or not rows[0][2] & FOCUSED:
            fail("the first row is not focused and selected: %s" % rows)
        second = rows[1][0]  # named (either item may claim "slow.swf"), or still its address
        keys("Delete")
        rows = wait_for("one row left", lambda: len(read()[0]) == 1 and read()[0], 30)
        if rows[0][0] != second:
            fail("Delete left %s, not %s" % (rows, second))

        keys("Down", "Right", "Right", "F2")  # the file name of the row left
        xdotool("type", "--delay", 15, "renamed clip.flv")
        keys("Return")
        wait_for("the new name", lambda: read()[0][0][0] == "renamed clip.flv", 30)
        print("removed and renamed:", read()[0])
        keys("alt+a")  # the movie's access keys work from the grid as well: the About tab
        wait_for("the About tab chosen", lambda: read()[1].get("About", 0) & PRESSED, 30)
        keys("alt+F4")
        program.wait(timeout=30)
    finally:
        if program.poll() is None:
            program.kill()
        server.shutdown()
        forget()
    print("PASSED")


main()
