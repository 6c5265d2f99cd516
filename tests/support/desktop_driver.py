"""What the end-to-end scripts share: failing with a picture of the screen,
waiting for a condition, a loopback site, and driving Marrowfin's window with
xdotool at the places its movie file gives."""
import glob
import http.server
import json
import os
import re
import subprocess
import sys
import threading
import time

QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def fail(why):
    print("FAILED:", why)
    # The whole screen as it was, beside the test's output.
    name = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    picture = os.path.abspath(name + "-failure.png")
    subprocess.run(["import", "-window", "root", picture], timeout=30, **QUIET)
    print("screen at the failure:", picture)
    sys.exit(1)


def wait_for(what, condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    fail("timed out waiting for " + what)


class SiteHandler(http.server.BaseHTTPRequestHandler):
    """A test site: GET and HEAD give the same answer from _answer(body_wanted),
    the latter without its body; nothing is logged."""

    def do_GET(self):
        self._answer(True)

    def do_HEAD(self):
        self._answer(False)

    def log_message(self, *args):
        pass


def serve(handler):
    """Starts a loopback site on a free port, served until the script ends."""
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def queue_files(prefix):
    """The kept list's files in the prefix (queue.json and what goes with it)."""
    return glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local",
                                  "Tallowmere Marrowfin", "queue.json*"))


def kept_list(prefix):
    """The items of the kept list, or None while there is none to read."""
    for path in [p for p in queue_files(prefix) if p.endswith("queue.json")]:
        try:
            with open(path, encoding="utf-8") as f:
                return json.load(f)["items"]
        except (OSError, ValueError):
            return None
    return None


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, timeout=30)


class Window:
    """Marrowfin's main window, found by window_probe.exe."""

    def __init__(self, bin_dir, wine_run, movie):
        self.bin, self.wine_run, self.movie = bin_dir, wine_run, movie

    def probe(self, *args):
        return subprocess.run([self.wine_run, os.path.join(self.bin, "window_probe.exe"), *args],
                              timeout=30, capture_output=True, stdin=subprocess.DEVNULL,
                              text=True).stdout.split()

    def rect(self):
        """Left, top, right, bottom on the screen; None while not shown."""
        out = self.probe()
        return tuple(map(int, out[:4])) if len(out) == 5 and out[4] == "1" else None

    def element_centre(self, pattern):
        """Centre of the first movie element whose line matches, in movie pixels."""
        for line in open(self.movie, encoding="utf-8"):
            if re.search(pattern, line):
                x, y, w, h = map(int, re.search(r"\bat=(-?\d+),(-?\d+),(\d+),(\d+)", line).groups())
                return x + w // 2, y + h // 2
        fail("no element matches " + pattern)

    def click(self, rect, element):
        x, y = self.element_centre(element)
        xdotool("mousemove", rect[0] + x, rect[1] + y)
        time.sleep(0.15)
        xdotool("click", 1)
        time.sleep(0.3)
