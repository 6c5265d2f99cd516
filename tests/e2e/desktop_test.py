#!/usr/bin/env python3
"""Marrowfin driven as a person would drive it: the real Marrowfin.exe under
Xvfb, real mouse clicks and key strokes from xdotool, a page and a video
served over loopback by this script. It types a page's address, adds it,
starts the download, finds the video in the download folder, fills the list
until the grid scrolls and turns the mouse wheel over it (before and after a
"TaskbarCreated" broadcast, which re-creates the tray icon under the window's
wheel hook), drags the window by its title area and closes it with the close
button.

usage: desktop_test.py BIN_DIR WINE_RUN MOVIE_FILE
Set MARROWFIN_SCREENSHOTS to a folder to keep pictures of each stage."""
import glob
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop_driver import QUIET, SiteHandler, Window, fail, serve, wait_for, xdotool  # noqa: E402

BIN, WINE_RUN, MOVIE = sys.argv[1:4]
PREFIX = os.environ["WINEPREFIX"]
SHOTS = os.environ.get("MARROWFIN_SCREENSHOTS")
CLIP = bytes((i * 7 + i // 251) & 0xFF for i in range(300_000))
WINDOW = Window(BIN, WINE_RUN, MOVIE)


class Site(SiteHandler):
    def _answer(self, body_wanted):
        if self.path == "/angryalien.com/e2e.html":
            body = ('<html><embed src="http://127.0.0.1:%d/media/e2e-clip.swf"></html>'
                    % self.server.server_port).encode()
            kind = "text/html"
        elif self.path == "/media/e2e-clip.swf":
            body, kind = CLIP, "application/x-shockwave-flash"
        else:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Last-Modified", "Mon, 07 Dec 2026 10:00:00 GMT")
        self.end_headers()
        if body_wanted:
            self.wfile.write(body)


def wine(*args):
    subprocess.run([WINE_RUN, *args], timeout=60, **QUIET)


def grid_picture(grid):
    left, top, right, bottom = grid
    return subprocess.run(["import", "-window", "root", "-crop",
                           "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "rgb:-"],
                          capture_output=True, timeout=30).stdout


def wheel_scrolls_grid(grid, when):
    """One notch down moves the grid's rows, one notch up brings them back."""
    before = grid_picture(grid)
    xdotool("click", 5)
    wait_for("the wheel to scroll the grid " + when, lambda: grid_picture(grid) != before, 10)
    xdotool("click", 4)
    wait_for("the wheel to scroll the grid back " + when, lambda: grid_picture(grid) == before, 10)
    print("wheel scrolls the grid", when)


def shot(name, rect):
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        subprocess.run(["import", "-window", "root", "-crop",
                        "%dx%d+%d+%d" % (rect[2] - rect[0], rect[3] - rect[1], rect[0], rect[1]),
                        os.path.join(SHOTS, name + ".png")], timeout=30)


def forget_kept_list():
    for path in glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Local",
                                       "Tallowmere Marrowfin", "queue.json*")):
        os.remove(path)


def main():
    server = serve(Site)
    page = "http://127.0.0.1:%d/angryalien.com/e2e.html" % server.server_port

    folder = os.path.join(PREFIX, "drive_c", "e2e-videos")
    if os.path.isdir(folder):
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
    # The list an earlier run kept would hold this page already.
    forget_kept_list()
    key = r"HKCU\Software\Tallowmere Marrowfin\Settings"
    wine("reg", "add", key, "/v", "Download Dir", "/d", r"C:\e2e-videos", "/f")
    wine("reg", "add", key, "/v", "URL Mon", "/d", "False", "/f")
    dll = "Z:" + os.path.join(BIN, "Sabledrift.dll").replace("/", "\\")
    wine("regsvr32", "/s", dll)

    program = subprocess.Popen([WINE_RUN, os.path.join(BIN, "Marrowfin.exe")], **QUIET)
    try:
        rect = wait_for("the main window", WINDOW.rect, 60)
        if (rect[2] - rect[0], rect[3] - rect[1]) != (630, 535):
            fail("main window is %dx%d" % (rect[2] - rect[0], rect[3] - rect[1]))
        time.sleep(1.0)  # the movie opens its download page
        shot("1-start", rect)

        WINDOW.click(rect, r"^field .*var=_root\.video_url")
        xdotool("type", "--delay", 15, page)
        time.sleep(0.3)
        WINDOW.click(rect, r"^button .*text=Add .*command=IDC_FS_addDownloadURL")
        shot("2-added", rect)
        WINDOW.click(rect, r"^button .*command=IDC_FS_startDownload")

        def arrived():
            if not os.path.isdir(folder):
                return None
            for name in os.listdir(folder):
                path = os.path.join(folder, name)
                if os.path.getsize(path) == len(CLIP):
                    with open(path, "rb") as f:
                        if f.read() == CLIP:
                            return name
            return None
        name = wait_for("the video in the download folder", arrived, 90)
        print("downloaded", name)
        time.sleep(1.0)
        shot("3-complete", rect)

        # More rows than the grid shows. The box empties after each address
        # added, so each is typed whole (a repeat would not be added) and
        # Enter adds it.
        WINDOW.click(rect, r"^field .*var=_root\.video_url")
        for n in range(1, 13):
            xdotool("type", "--delay", 15, page + "n" * n)
            xdotool("key", "--delay", 100, "Return")
        shot("4-more", rect)
        grid = wait_for("the grid", lambda: (g := WINDOW.probe("grid")) and len(g) == 4 and tuple(map(int, g)), 30)
        xdotool("mousemove", grid[0] + 60, grid[1] + 30)  # a row of the grid, which takes the focus
        xdotool("click", 1)
        wheel_scrolls_grid(grid, "at the start")
        if WINDOW.probe("taskbar") != ["sent"]:
            fail("no TaskbarCreated broadcast")
        wheel_scrolls_grid(grid, "after TaskbarCreated")

        # Drag by the title area: the window follows the mouse.
        x, y = 420, 20  # the title area between the tabs and the window buttons
        xdotool("mousemove", rect[0] + x, rect[1] + y)
        time.sleep(0.2)
        xdotool("mousedown", 1)
        for step in range(1, 7):
            time.sleep(0.1)
            xdotool("mousemove", rect[0] + x + 10 * step, rect[1] + y + 7 * step)
        time.sleep(0.3)
        xdotool("mouseup", 1)
        time.sleep(0.5)
        moved = WINDOW.rect()
        if not moved or (moved[0] - rect[0], moved[1] - rect[1]) != (60, 42):
            fail("window at %s after the drag, was %s" % (moved, rect))
        print("dragged from", rect[:2], "to", moved[:2])

        WINDOW.click(moved, r"command=IDC_FS_Close")
        try:
            program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            fail("Marrowfin did not end after the close button")
        print("closed; exit code", program.returncode)
    finally:
        if program.poll() is None:
            program.kill()
        server.shutdown()
        forget_kept_list()  # other tests start Marrowfin.exe with an empty list
        # ... and centred, as the drag above would otherwise be kept.
        wine("reg", "delete", r"HKCU\Software\Tallowmere Marrowfin\Settings", "/v", "Window Placement", "/f")
    print("PASSED")


main()
