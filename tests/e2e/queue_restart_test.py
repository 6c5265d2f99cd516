#!/usr/bin/env python3
"""The Download list survives a killed Marrowfin. The real Marrowfin.exe under
Xvfb is given ten video pages through its window (xdotool), downloads the
first five (one of them a page the server does not have) and is killed with
TerminateProcess halfway through the sixth, which arrives slowly over
several connections. Started again, it shows the same ten items in the same
order with their statuses: Start downloads only the five that were left,
the interrupted one going on from the pieces its journal kept (the bytes
sent for it in both runs stay within its size and 8 MiB), and a close keeps
the final list.

usage: queue_restart_test.py BIN_DIR WINE_RUN MOVIE_FILE"""
import hashlib
import os
import re
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop_driver import (QUIET, SiteHandler, Window, fail, kept_list, queue_files,  # noqa: E402
                            serve, wait_for, xdotool)

BIN, WINE_RUN, MOVIE = sys.argv[1:4]
PREFIX = os.environ["WINEPREFIX"]
WINDOW = Window(BIN, WINE_RUN, MOVIE)
FOLDER = os.path.join(PREFIX, "drive_c", "e2e-queue")
ITEMS = 10
MISSING = 4      # its page is not on the server: "ERROR"
SLOW = 6         # arrives slowly in the first run, which is killed during it
SIZES = {n: (64 << 20 if n == SLOW else 40_000 + n) for n in range(1, ITEMS + 1)}
MODIFIED = "Mon, 07 Dec 2026 10:00:00 GMT"


def clip(n):
    if SIZES[n] < 1 << 20:
        return bytes((i * 7 + n + i // 251) & 0xFF for i in range(SIZES[n]))
    # Each mebibyte of the big one differs from every other: a part added at
    # the wrong place changes the file.
    return b"".join(hashlib.sha256(b"%d-%d" % (n, i)).digest() * 32768 for i in range(SIZES[n] >> 20))


CLIPS = {n: clip(n) for n in SIZES}


class Site(SiteHandler):
    """Page n is "/angryalien.com/q" followed by n letters "a"; its video is
    "/media/clipN.swf"."""
    slow = True
    requests = []
    sent = {}  # body bytes sent, by target
    ranges = []  # (target, first byte) of every answer to a range request

    def _answer(self, body_wanted):
        Site.requests.append(self.path)
        page = re.fullmatch(r"/angryalien\.com/q(a+)", self.path)
        video = re.fullmatch(r"/media/clip(\d+)\.swf", self.path)
        if page and len(page.group(1)) in CLIPS and len(page.group(1)) != MISSING:
            body = ('<html><embed src="http://127.0.0.1:%d/media/clip%d.swf"></html>'
                    % (self.server.server_port, len(page.group(1)))).encode()
            self._send(body, "text/html", body_wanted)
        elif video and int(video.group(1)) in CLIPS:
            n = int(video.group(1))
            self._send(CLIPS[n], "application/x-shockwave-flash", body_wanted,
                       trickle=n == SLOW and Site.slow)
        else:
            self.send_error(404)

    def _send(self, body, kind, body_wanted, trickle=False):
        # The range asked for (the rest of the file, or a piece of it), when
        # the file has not changed since.
        start, end = 0, len(body) - 1
        asked = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", ""))
        ranged = (asked is not None and self.headers.get("If-Range", MODIFIED) == MODIFIED
                  and int(asked.group(1)) < len(body))
        if ranged:
            start = int(asked.group(1))
            Site.ranges.append((self.path, start))
            end = min(end, int(asked.group(2))) if asked.group(2) else end
        self.send_response(206 if ranged else 200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(end + 1 - start))
        if ranged:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, len(body)))
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Last-Modified", MODIFIED)
        self.end_headers()
        if not body_wanted:
            return
        # A trickle of about 1 MB/s a connection.
        step = 65_536 if trickle else end + 1 - start
        try:
            for at in range(start, end + 1, step):
                chunk = body[at:min(at + step, end + 1)]
                self.wfile.write(chunk)
                Site.sent[self.path] = Site.sent.get(self.path, 0) + len(chunk)
                if trickle:
                    time.sleep(0.0625)
        except OSError:
            pass  # the program was killed


def start_program():
    program = subprocess.Popen([WINE_RUN, os.path.join(BIN, "Marrowfin.exe")], **QUIET)
    rect = wait_for("the main window", WINDOW.rect, 60)
    time.sleep(1.0)  # the movie opens its download page
    return program, rect


def statuses(items):
    return [item["State"] for item in items]


def expect_list(items, pages, wanted, when):
    if [item["Video_URL"] for item in items] != pages:
        fail("the list %s holds %s" % (when, [item["Video_URL"] for item in items]))
    if statuses(items) != wanted:
        fail("the statuses %s are %s, not %s" % (when, statuses(items), wanted))


def arrived(n):
    path = os.path.join(FOLDER, "clip%d.swf" % n)
    if not os.path.isfile(path) or os.path.getsize(path) != SIZES[n]:
        return False
    with open(path, "rb") as f:
        return f.read() == CLIPS[n]


def first_run(base, pages):
    """Adds the ten pages, downloads until the slow one arrives, kills the program."""
    program, rect = start_program()
    try:
        WINDOW.click(rect, r"^field .*var=_root\.video_url")
        for n in range(1, ITEMS + 1):  # the box empties after each address added
            xdotool("type", "--delay", 15, base + "a" * n)
            xdotool("key", "--delay", 100, "Return")
        wait_for("ten items in the queue file",
                 lambda: (k := kept_list(PREFIX)) and len(k) == ITEMS, 30)
        WINDOW.click(rect, r"^button .*command=IDC_FS_startDownload")

        part = os.path.join(FOLDER, "clip%d.swf.part" % SLOW)

        def slow_one_half_kept():
            items = kept_list(PREFIX)
            return (items and os.path.isfile(part)
                    and Site.sent.get("/media/clip%d.swf" % SLOW, 0) >= SIZES[SLOW] // 2
                    and items[SLOW - 1]["PartFile"].endswith("clip%d.swf.part" % SLOW)
                    and items[SLOW - 2]["State"] == "complete")
        wait_for("the slow video half way and kept", slow_one_half_kept, 120)
        if WINDOW.probe("kill") != ["killed"]:
            fail("TerminateProcess did not end Marrowfin")
        program.wait(timeout=30)
        with open(part + ".pieces", encoding="utf-8") as f:
            blocks = f.read().splitlines()[4]
        sent = Site.sent.get("/media/clip%d.swf" % SLOW, 0)
        print("killed during the transfer of item %d, %d bytes sent, %d MiB kept by its journal" %
              (SLOW, sent, blocks.count("1")))
        # Only what was in flight at the kill is lost: a piece a connection.
        if sent - (blocks.count("1") << 20) > 8 << 20:
            fail("the journal kept %d MiB of %d bytes sent" % (blocks.count("1"), sent))
    finally:
        if program.poll() is None:
            program.kill()
    done = ["complete"] * (SLOW - 1)
    done[MISSING - 1] = "failed"
    expect_list(kept_list(PREFIX), pages, done + ["waiting"] * (ITEMS - SLOW + 1), "after the kill")
    Site.ranges = []
    return blocks


def second_run(pages, blocks):
    """Starts again, downloads what was left, closes normally."""
    Site.slow = False
    Site.requests = []
    program, rect = start_program()
    try:
        WINDOW.click(rect, r"^button .*command=IDC_FS_startDownload")
        for n in range(SLOW, ITEMS + 1):
            wait_for("video %d in the download folder" % n, lambda: arrived(n), 180)
        wait_for("the list kept complete",
                 lambda: (k := kept_list(PREFIX)) and statuses(k)[-1] == "complete", 30)
        WINDOW.click(rect, r"command=IDC_FS_Close")
        program.wait(timeout=30)
    finally:
        if program.poll() is None:
            program.kill()
    final = ["complete"] * ITEMS
    final[MISSING - 1] = "failed"
    expect_list(kept_list(PREFIX), pages, final, "at the end")
    # Only what was left was asked for, in the list's order.
    fetched = [int(m.group(1)) for p in Site.requests
               if (m := re.fullmatch(r"/media/clip(\d+)\.swf", p))]
    if sorted(set(fetched)) != list(range(SLOW, ITEMS + 1)) or fetched != sorted(fetched):
        fail("the second run fetched videos %s" % fetched)
    if any(re.fullmatch(r"/angryalien\.com/qa{1,%d}" % (SLOW - 1), p) for p in Site.requests):
        fail("the second run went back to a page it had finished: %s" % Site.requests)
    # The interrupted video went on from the pieces its journal kept: no
    # request of the second run began inside one of them.
    again = [start for target, start in Site.ranges if target == "/media/clip%d.swf" % SLOW]
    if not again or any(blocks[start >> 20] == "1" for start in again):
        fail("the second run asked for %s of the pieces %s" % (again, blocks))
    print("the interrupted video went on with %d requests for its missing pieces" % len(again))
    # Under Wine a file's zone mark is a file of its own beside it.
    leftovers = sorted(n for n in os.listdir(FOLDER)
                       if not re.fullmatch(r"clip\d+\.swf(:Zone\.Identifier)?", n))
    if leftovers:
        fail("files left in the download folder: %s" % leftovers)


def main():
    server = serve(Site)
    base = "http://127.0.0.1:%d/angryalien.com/q" % server.server_port
    pages = [base + "a" * n for n in range(1, ITEMS + 1)]

    os.makedirs(FOLDER, exist_ok=True)
    for name in os.listdir(FOLDER):
        os.remove(os.path.join(FOLDER, name))
    for path in queue_files(PREFIX):
        os.remove(path)
    key = r"HKCU\Software\Tallowmere Marrowfin\Settings"
    subprocess.run([WINE_RUN, "reg", "add", key, "/v", "Download Dir", "/d", r"C:\e2e-queue", "/f"],
                   timeout=60, **QUIET)
    subprocess.run([WINE_RUN, "reg", "add", key, "/v", "URL Mon", "/d", "False", "/f"],
                   timeout=60, **QUIET)
    # One video after another: the order of the fetches is what is looked at.
    subprocess.run([WINE_RUN, "reg", "add", key, "/v", "Simultaneous downloads", "/t", "REG_DWORD",
                    "/d", "1", "/f"], timeout=60, **QUIET)
    dll = "Z:" + os.path.join(BIN, "Sabledrift.dll").replace("/", "\\")
    subprocess.run([WINE_RUN, "regsvr32", "/s", dll], timeout=60, **QUIET)
    try:
        second_run(pages, first_run(base, pages))
    finally:
        server.shutdown()
        for path in queue_files(PREFIX):  # other tests start Marrowfin.exe with an empty list
            os.remove(path)
        subprocess.run([WINE_RUN, "reg", "delete", key, "/v", "Simultaneous downloads", "/f"],
                       timeout=60, **QUIET)
    print("PASSED")


main()
