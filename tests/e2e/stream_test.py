#!/usr/bin/env python3
"""Streams saved through the real Marrowfin.exe under Xvfb, over loopback.
ffmpeg makes the streams from a generated picture and tone: HLS with TS
segments and AES-128, HLS fMP4 with byte ranges, an HLS master of three
variants with its audio apart ("Video quality" is "Smallest": only the
smallest variant's segments may be fetched), DASH with SegmentTemplate and
SegmentTimeline, DASH SegmentBase, a page naming a playlist in og:video and
a page address that redirects to a video file. ffprobe on each result must
report the source's streams and frames and its length within 0.1 s, and
ffmpeg must decode it without a word. A live and a protected playlist are
refused with their words and leave nothing. A slow stream is stopped half
way and started again: no segment its journal kept is fetched again.

usage: stream_test.py BIN_DIR WINE_RUN MOVIE_FILE"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, os.path.join(HERE, "..", "media"))
from desktop_driver import (QUIET, SiteHandler, Window, fail, kept_list, queue_files,  # noqa: E402
                            serve, wait_for, xdotool)
import movie_check  # noqa: E402
from movie_check import probe  # noqa: E402
import make_streams  # noqa: E402

BIN, WINE_RUN, MOVIE = sys.argv[1:4]
PREFIX = os.environ["WINEPREFIX"]
WINDOW = Window(BIN, WINE_RUN, MOVIE)
FOLDER = os.path.join(PREFIX, "drive_c", "e2e-stream")
WORK = tempfile.mkdtemp(prefix="stream_e2e_")
SETTINGS = r"HKCU\Software\Tallowmere Marrowfin\Settings"
LIVE = "Live streams are not supported"
PROTECTED = "This video is protected and cannot be saved"


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-y", *args], check=True, cwd=WORK, timeout=300)


def hls(source, name, *options):
    os.makedirs(os.path.join(WORK, name))
    ffmpeg("-i", source, "-c", "copy", "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
           *options, "%s/%s.m3u8" % (name, name))


def make_streams_here():
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25", "-f", "lavfi", "-i",
           "sine=frequency=440", "-t", "4", "-c:v", "libx264", "-c:a", "aac", "-g", "25", "src.mp4")
    ffmpeg("-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25", "-t", "16", "-c:v", "libx264",
           "-g", "25", "-f", "mpegts", "long.ts")
    with open(os.path.join(WORK, "key.bin"), "wb") as f:
        f.write(bytes(range(16)))
    with open(os.path.join(WORK, "key.info"), "w") as f:
        f.write("../key.bin\n%s\n" % os.path.join(WORK, "key.bin"))
    hls("src.mp4", "aes", "-hls_key_info_file", "key.info")
    hls("src.mp4", "fmp4", "-hls_segment_type", "fmp4", "-hls_flags", "single_file")
    hls("long.ts", "slow")
    for name, make in (("master", make_streams.make_hls), ("dash", make_streams.make_dash),
                       ("base", make_streams.make_base)):
        os.makedirs(os.path.join(WORK, name))
        make(make_streams.pathlib.Path(WORK) / name)
    text = open(os.path.join(WORK, "aes", "aes.m3u8")).read()
    open(os.path.join(WORK, "aes", "live.m3u8"), "w").write(
        text.replace("#EXT-X-ENDLIST\n", "").replace("#EXT-X-PLAYLIST-TYPE:VOD\n", ""))
    open(os.path.join(WORK, "aes", "locked.m3u8"), "w").write(
        text.replace("METHOD=AES-128", "METHOD=SAMPLE-AES"))
    os.makedirs(os.path.join(WORK, "page"))
    open(os.path.join(WORK, "page", "trip"), "w").write(
        '<html><head><meta property="og:video" content="../fmp4/fmp4.m3u8">'
        '<meta property="og:video:type" content="application/x-mpegURL"></head></html>')


class Site(SiteHandler):
    """The files of WORK with byte ranges; /share/clip redirects to the source
    video; the slow stream's segments come one at a time. Connections are
    kept open, as servers do."""
    protocol_version = "HTTP/1.1"
    requests = []  # (path, range) of every GET
    slow_sent = []  # slow segments sent whole, in order
    slow_ports = []  # the client port of every slow segment's GET
    slow_lock = threading.Lock()

    def _answer(self, body_wanted):
        path = self.path.split("?")[0]
        if body_wanted:
            Site.requests.append((path, self.headers.get("Range")))
        if path == "/share/clip":
            self.send_response(301)
            self.send_header("Location", "/src.mp4")
            self.send_header("Content-Length", "0")
            return self.end_headers()
        local = os.path.normpath(os.path.join(WORK, path.lstrip("/")))
        if not local.startswith(WORK) or not os.path.isfile(local):
            return self.send_error(404)
        body = open(local, "rb").read()
        start, end = 0, len(body) - 1
        asked = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", ""))
        if asked:
            start, end = int(asked.group(1)), min(end, int(asked.group(2) or end))
        self.send_response(206 if asked else 200)
        kinds = {".m3u8": "application/vnd.apple.mpegurl", ".mpd": "application/dash+xml",
                 ".mp4": "video/mp4", "": "text/html"}
        self.send_header("Content-Type", kinds.get(os.path.splitext(local)[1],
                                                   "application/octet-stream"))
        self.send_header("Content-Length", str(end + 1 - start))
        if asked:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, end, len(body)))
        self.end_headers()
        if not body_wanted:
            return
        slow = path.startswith("/slow/") and path.endswith(".ts")
        if slow:
            Site.slow_ports.append(self.client_address[1])
        try:
            if slow:
                with Site.slow_lock:
                    time.sleep(0.4)
                    self.wfile.write(body[start:end + 1])
                    self.wfile.flush()
                    Site.slow_sent.append(os.path.basename(path))
            else:
                self.wfile.write(body[start:end + 1])
        except OSError:
            pass


def check_movie(name, expected, failures):
    path = os.path.join(FOLDER, name)
    if not os.path.isfile(path):
        return failures.append("%s was not saved" % name)
    movie_check.check_movie(name, path, expected, failures)


def states(addresses):
    items = {item["Video_URL"]: item for item in (kept_list(PREFIX) or [])}
    return [items.get(a, {}).get("State") for a in addresses]


def add(rect, addresses):
    WINDOW.click(rect, r"^field .*var=_root\.video_url")
    for address in addresses:
        xdotool("type", "--delay", 15, address)
        xdotool("key", "--delay", 100, "Return")


def start(rect):
    WINDOW.click(rect, r"^button .*command=IDC_FS_startDownload")


def stop_slow(rect, slow):
    """Stops the run once the slow stream is about half way; the journal it kept."""
    wait_for("half of the slow stream", lambda: len(Site.slow_sent) >= 7, 120)
    # Each of the eight connections went on to its next segment: more asked than connections.
    ports = Site.slow_ports[:]
    if len(set(ports)) > 8 or len(ports) <= 8:
        fail("%d slow segments asked for over %d connections" % (len(ports), len(set(ports))))
    WINDOW.click(rect, r"^button .*command=IDC_FS_stopDownload")
    time.sleep(1.0)
    xdotool("key", "Return")  # "Yes" to the question
    wait_for("the slow stream stopped", lambda: states([slow]) == ["cancelled"], 60)
    lines = open(os.path.join(FOLDER, "slow.mp4.part.stream")).read().splitlines()
    segments = [line for line in open(os.path.join(WORK, "slow", "slow.m3u8")).read().splitlines()
                if line and not line.startswith("#")]
    kept = {segments[i] for i, size in enumerate(lines[3:-1]) if size != "-"}
    print("stopped after %d slow segments sent; the journal kept %d" %
          (len(Site.slow_sent), len(kept)))
    if len(kept) < 5:
        fail("the journal kept only %s" % sorted(kept))
    return kept


def main():
    make_streams_here()
    server = serve(Site)
    base = "http://127.0.0.1:%d/" % server.server_port
    slow = base + "slow/slow.m3u8"
    good = {base + "aes/aes.m3u8": "aes.mp4", base + "fmp4/fmp4.m3u8": "fmp4.mp4",
            base + "master/master.m3u8": "master.mp4", base + "dash/manifest.mpd": "manifest.mp4",
            base + "base/manifest.mpd": "manifest (2).mp4", base + "page/trip": "trip.mp4",
            base + "share/clip": "src.mp4"}
    refused = {base + "aes/live.m3u8": LIVE, base + "aes/locked.m3u8": PROTECTED}
    shutil.rmtree(FOLDER, ignore_errors=True)
    os.makedirs(FOLDER)
    for path in queue_files(PREFIX):  # a list of its own, and none left for the other tests
        os.remove(path)
    for name, value in (("Download Dir", r"C:\e2e-stream"), ("URL Mon", "False")):
        subprocess.run([WINE_RUN, "reg", "add", SETTINGS, "/v", name, "/d", value, "/f"],
                       timeout=60, **QUIET)
    subprocess.run([WINE_RUN, "reg", "add", SETTINGS, "/v", "Video quality", "/t", "REG_DWORD",
                    "/d", "4", "/f"], timeout=60, **QUIET)
    dll = "Z:" + os.path.join(BIN, "Sabledrift.dll").replace("/", "\\")
    subprocess.run([WINE_RUN, "regsvr32", "/s", dll], timeout=60, **QUIET)
    program = subprocess.Popen([WINE_RUN, os.path.join(BIN, "Marrowfin.exe")], **QUIET)
    try:
        rect = wait_for("the main window", WINDOW.rect, 60)
        time.sleep(1.0)
        add(rect, [slow])
        start(rect)
        kept = stop_slow(rect, slow)
        Site.requests = []
        add(rect, list(good) + list(refused))
        start(rect)
        everything = [slow] + list(good) + list(refused)
        wait_for("every item ended", lambda: all(
            s in ("complete", "failed") for s in states(everything)), 240)
        WINDOW.click(rect, r"command=IDC_FS_Close")
        program.wait(timeout=30)
    finally:
        if program.poll() is None:
            program.kill()
        server.shutdown()
        subprocess.run([WINE_RUN, "reg", "delete", SETTINGS, "/v", "Video quality", "/f"],
                       timeout=60, **QUIET)
    items = {item["Video_URL"]: item for item in kept_list(PREFIX)}
    for path in queue_files(PREFIX):
        os.remove(path)
    failures = []
    again = kept & {os.path.basename(p) for p, _ in Site.requests if p.startswith("/slow/")}
    if again:
        failures.append("saved slow segments fetched again: %s" % sorted(again))
    for address, word in refused.items():
        if items[address]["State"] != "failed" or items[address]["Reason"] != word:
            failures.append("%s ended %s (%r)" % (address, items[address]["State"],
                                                 items[address]["Reason"]))
    for address, name in good.items():
        if items[address]["State"] != "complete" or items[address]["FileName"] != name:
            failures.append("%s ended %s as %r (%r)" % (address, items[address]["State"],
                                                        items[address]["FileName"],
                                                        items[address]["Reason"]))
    variants = {p.split("/")[2] for p, _ in Site.requests if p.startswith("/master/v")}
    if variants != {"v2", "v3"}:
        failures.append("the master's segments came from %s, not v2 and its audio v3" % variants)
    source = probe(os.path.join(WORK, "src.mp4"))
    for address in (base + "aes/aes.m3u8", base + "fmp4/fmp4.m3u8", base + "page/trip"):
        check_movie(good[address], source, failures)
    if open(os.path.join(FOLDER, "src.mp4"), "rb").read() != open(
            os.path.join(WORK, "src.mp4"), "rb").read():
        failures.append("the redirected video is not the server's file")
    check_movie("slow.mp4", probe(os.path.join(WORK, "long.ts")), failures)
    audio = ("audio", "aac", None, None, None)
    check_movie("master.mp4", ([audio, ("video", "h264", 160, 90, 75)], 3.0), failures)
    check_movie("manifest.mp4", ([audio, ("video", "h264", 320, 180, 75)], 3.0), failures)
    check_movie("manifest (2).mp4", ([("video", "h264", 320, 180, 75)], 3.0), failures)
    leftovers = [n for n in os.listdir(FOLDER) if n.endswith((".part", ".stream", ".segments"))]
    if leftovers:
        failures.append("left in the download folder: %s" % leftovers)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        fail("%d check(s) failed" % len(failures))
    print("PASSED")


try:
    main()
finally:
    shutil.rmtree(WORK, ignore_errors=True)
