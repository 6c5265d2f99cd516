#!/usr/bin/env python3
"""The main window resized as a person would: the real Marrowfin.exe on a
1920 x 1200 screen of its own (a private Xvfb and Wine prefix: the shared
screen is smaller than the window wanted), moved by its title and resized by
its corner to 1600 x 1000 with xdotool. The grid then fills the window and
its columns the grid. Started again the window has the same place and size;
maximized when closed, it comes back maximized and restores to that place.

usage: window_size_test.py BIN_DIR WINE_RUN MOVIE_FILE"""
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop_driver import QUIET, Window, fail, wait_for, xdotool  # noqa: E402

BIN, _, MOVIE = sys.argv[1:4]
SCREEN = (1920, 1200)
WANTED = (1600, 1000)
PREFIX = os.path.join(os.path.dirname(os.path.abspath(BIN)), "wineprefix-wide")
WINE = os.path.join(PREFIX, "run.sh")
HEADER = (60, 117, 157)  # the grid's header colour (downloadlist/GridFormat.cpp)


def prepare_prefix(display):
    """A prefix whose virtual desktop is the whole private screen; made once."""
    os.makedirs(PREFIX, exist_ok=True)
    with open(WINE, "w") as f:
        f.write('#!/bin/sh\nexport WINEPREFIX="%s" DISPLAY="%s" WINEDEBUG=-all '
                'WINEDLLOVERRIDES="mscoree,mshtml="\nexec /usr/lib/wine/wine64 "$@"\n' % (PREFIX, display))
    os.chmod(WINE, 0o755)
    if not os.path.isfile(os.path.join(PREFIX, "system.reg")):
        subprocess.run([WINE, "wineboot", "-i"], timeout=240, **QUIET)
    desktop = r"HKCU\Software\Wine\Explorer"
    subprocess.run([WINE, "reg", "add", desktop, "/v", "Desktop", "/d", "Default", "/f"], timeout=60, **QUIET)
    subprocess.run([WINE, "reg", "add", desktop + r"\Desktops", "/v", "Default", "/d", "%dx%d" % SCREEN, "/f"],
                   timeout=60, **QUIET)
    # The desktop is chosen as the prefix's server starts: the one wineboot -i
    # left running would keep plain windows, which no window manager maximizes.
    subprocess.run(["wineserver", "-w"], env=dict(os.environ, WINEPREFIX=PREFIX), timeout=120, **QUIET)
    subprocess.run([WINE, "reg", "delete", r"HKCU\Software\Tallowmere Marrowfin", "/f"], timeout=60, **QUIET)
    for kept in glob.glob(os.path.join(PREFIX, "drive_c", "users", "*", "AppData", "Local", "Tallowmere Marrowfin",
                                       "queue.json*")):
        os.remove(kept)
    key = r"HKCU\Software\Tallowmere Marrowfin\Settings"
    subprocess.run([WINE, "reg", "add", key, "/v", "URL Mon", "/d", "False", "/f"], timeout=60, **QUIET)
    dll = "Z:" + os.path.join(os.path.abspath(BIN), "Sabledrift.dll").replace("/", "\\")
    subprocess.run([WINE, "regsvr32", "/s", dll], timeout=60, **QUIET)


def start_screen():
    n = 120
    while os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
        n += 1
    xvfb = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % SCREEN, "-nolisten", "tcp"], **QUIET)
    wait_for("the private screen", lambda: os.path.exists("/tmp/.X11-unix/X%d" % n), 10)
    os.environ["DISPLAY"] = ":%d" % n
    return xvfb


def pixel(x, y):
    out = subprocess.run(["import", "-window", "root", "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "rgb:-"],
                         capture_output=True, timeout=30).stdout
    return tuple(out[:3])


def drag(start, end):
    xdotool("mousemove", *start)
    time.sleep(0.2)
    xdotool("mousedown", 1)
    for step in range(1, 9):
        time.sleep(0.08)
        xdotool("mousemove", start[0] + (end[0] - start[0]) * step // 8, start[1] + (end[1] - start[1]) * step // 8)
    time.sleep(0.3)
    xdotool("mouseup", 1)
    time.sleep(0.5)


def start(window):
    program = subprocess.Popen([WINE, os.path.join(BIN, "Marrowfin.exe")], **QUIET)
    rect = wait_for("the main window", window.rect, 90)
    time.sleep(1.0)  # the movie opens its download page
    return program, rect


def close(window, program, rect):
    xdotool("mousemove", rect[2] - 23, rect[1] + 16)  # the close button keeps to the right edge
    time.sleep(0.2)
    xdotool("click", 1)
    try:
        program.wait(timeout=30)
    except subprocess.TimeoutExpired:
        fail("Marrowfin did not end after the close button")


def check_grid_fills(window, rect):
    grid = tuple(map(int, window.probe("grid")))
    # The movie's frame for the list keeps its margins to every edge.
    margins = (grid[0] - rect[0], grid[1] - rect[1], rect[2] - grid[2], rect[3] - grid[3])
    if margins != (21, 177, 34, 176):
        fail("the grid %s lies at margins %s in the window %s" % (grid, margins, rect))
    # The columns take its width: the header runs on up to the scroll bar's room.
    if pixel(grid[2] - 24, grid[1] + 6) != HEADER:
        fail("the header does not reach the grid's right edge: %s" % (pixel(grid[2] - 24, grid[1] + 6),))
    return grid


def main():
    xvfb = start_screen()
    window = None
    try:
        prepare_prefix(os.environ["DISPLAY"])
        window = Window(BIN, WINE, MOVIE)
        program, rect = start(window)
        try:
            # A row, so that the grid shows its columns.
            window.click(rect, r"^field .*var=_root\.video_url")
            xdotool("type", "--delay", 15, "http://www.youtube.com/watch?v=window-size")
            xdotool("key", "Return")
            # By the title to the top left, then by the corner to the size wanted.
            drag((rect[0] + 420, rect[1] + 20), (rect[0] + 420 - (rect[0] - 40), rect[1] + 20 - (rect[1] - 30)))
            moved = window.rect()
            drag((moved[2] - 2, moved[3] - 2),
                 (moved[0] + WANTED[0] - 2, moved[1] + WANTED[1] - 2))
            rect = window.rect()
            if (rect[2] - rect[0], rect[3] - rect[1]) != WANTED:
                fail("the window is %s after the resize" % (rect,))
            grid = check_grid_fills(window, rect)
            print("resized to", rect, "with the grid at", grid)
            close(window, program, rect)
        finally:
            if program.poll() is None:
                program.kill()

        program, again = start(window)
        try:
            if again != rect:
                fail("started again at %s, closed at %s" % (again, rect))
            check_grid_fills(window, again)
            print("started again at the same place and size")
            xdotool("mousemove", again[2] - 115, again[1] + 16)  # the maximize button
            xdotool("click", 1)
            wide = wait_for("the window maximized", lambda: (r := window.rect()) and r[2] - r[0] == SCREEN[0] and r, 10)
            close(window, program, wide)
        finally:
            if program.poll() is None:
                program.kill()

        program, third = start(window)
        try:
            # Maximized again (the work area's height follows Wine's taskbar, which
            # comes with the tray icon).
            if third[:3] != wide[:3]:
                fail("a window closed maximized came back at %s, not %s" % (third, wide))
            xdotool("mousemove", third[2] - 115, third[1] + 16)  # now the restore button
            xdotool("click", 1)
            restored = wait_for("the window restored", lambda: (r := window.rect()) and r[2] - r[0] == WANTED[0] and r, 10)
            if restored != rect:
                fail("restored to %s, not %s" % (restored, rect))
            print("maximized across a restart, restored to", restored)
            close(window, program, restored)
        finally:
            if program.poll() is None:
                program.kill()
    finally:
        subprocess.run([WINE, "reg", "delete", r"HKCU\Software\Tallowmere Marrowfin", "/f"], timeout=60, **QUIET)
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX), timeout=60, **QUIET)
        xvfb.kill()
    print("PASSED")


if shutil.which("Xvfb") is None:
    fail("Xvfb is needed")
main()
