#!/usr/bin/env python3
"""Streams made with ffmpeg from a generated picture and tone, cut as HLS (TS
with AES-128, TS with apart audio and video, fMP4 with byte ranges) and as
DASH (SegmentTemplate with a timeline, one single file per track), plus TS
runs across a discontinuity and across the 33-bit wrap, joined under Wine by
our writer (join_segments.exe) and checked with ffprobe: the source's
streams, its length within 0.1 s, as many video frames, and a clean decode.
A TS stream of other codecs comes back as the segments joined.

usage: movie_writer_test.py JOIN_SEGMENTS_EXE WINE_RUN"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import movie_check  # noqa: E402
from movie_check import probe  # noqa: E402

JOIN, WINE_RUN = sys.argv[1:3]
WORK = tempfile.mkdtemp(prefix="movie_writer_")
GENERATE = ["-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25", "-f", "lavfi",
            "-i", "sine=frequency=440"]
failures = []


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-y", *args], check=True, cwd=WORK, timeout=300)


def win(path):
    return "Z:" + os.path.join(WORK, path).replace("/", "\\")


def source(name, seconds, codecs=("-c:v", "libx264", "-c:a", "aac")):
    """A clip with a key frame every second, so that segments are a second long."""
    ffmpeg(*GENERATE, "-t", str(seconds), *codecs, "-g", "25", name)
    return name


def hls(src, name, *options, playlist="p.m3u8"):
    os.makedirs(os.path.join(WORK, name))
    ffmpeg("-i", src, "-c", "copy", "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
           *options, "%s/%s" % (name, playlist))
    return "%s/%s" % (name, playlist)


def cut(path, byterange, piece):
    """The bytes a playlist's "length@offset" names, into a file of their own."""
    length, offset = map(int, byterange.split("@"))
    with open(os.path.join(WORK, path), "rb") as f:
        f.seek(offset)
        data = f.read(length)
    with open(os.path.join(WORK, piece), "wb") as f:
        f.write(data)
    return piece


def hls_track(playlist, kind, container, first_discontinuity=False):
    """Track lines for the media playlist's segments, as the transfer saves them."""
    folder = os.path.dirname(playlist)
    lines, sequence, mark = ["track\t%s\t%s" % (kind, container)], 0, first_discontinuity
    for line in open(os.path.join(WORK, playlist)).read().splitlines():
        if line.startswith("#EXT-X-MEDIA-SEQUENCE:"):
            sequence = int(line.split(":")[1])
        elif line.startswith("#EXT-X-MAP:"):
            uri, span = re.search(r'URI="([^"]+)",BYTERANGE="([^"]+)"', line).groups()
            lines.append("init\t" + win(cut(os.path.join(folder, uri), span, folder + "/init")))
        elif line.startswith("#EXT-X-KEY:"):
            lines.append("key\t%s\tsequence" % win("key.bin"))
        elif line.startswith("#EXT-X-BYTERANGE:"):
            span = line.split(":")[1]
        elif line and not line.startswith("#"):
            path = os.path.join(folder, line)
            if container == "fmp4":
                path = cut(path, span, "%s/s%d" % (folder, sequence))
            lines.append("segment\t%s\t%d%s" % (win(path), sequence, "\tdiscontinuity" * mark))
            sequence, mark = sequence + 1, False
    return lines


def join(name, lines):
    with open(os.path.join(WORK, name + ".list"), "w") as f:
        f.write("\n".join(lines) + "\n")
    run = subprocess.run([WINE_RUN, JOIN, win(name + ".list"), win(name + ".out")],
                         capture_output=True, text=True, timeout=600, stdin=subprocess.DEVNULL)
    return run.stdout.strip(), os.path.join(WORK, name + ".out")


def check_movie(name, lines, expected_streams, expected_duration):
    said, out = join(name, lines)
    if said != "mp4":
        return failures.append("%s: the writer said %r" % (name, said))
    movie_check.check_movie(name, out, (expected_streams, expected_duration), failures)


def main():
    src = source("source.mp4", 6)
    streams, duration = probe(os.path.join(WORK, src))
    with open(os.path.join(WORK, "key.bin"), "wb") as f:
        f.write(bytes(range(16)))
    with open(os.path.join(WORK, "key.info"), "w") as f:
        f.write("key.bin\n%s\n" % os.path.join(WORK, "key.bin"))
    check_movie("hls_ts_aes", hls_track(hls(src, "ts_aes", "-hls_key_info_file", "key.info"),
                                        "muxed", "ts"), streams, duration)
    check_movie("hls_fmp4_ranges", hls_track(hls(src, "fmp4", "-hls_segment_type", "fmp4",
                                                 "-hls_flags", "single_file"), "muxed", "fmp4"),
                streams, duration)
    hls(src, "apart", "-map", "0:v", "-map", "0:a", "-var_stream_map", "v:0 a:0",
        "-hls_segment_filename", "apart/s%v_%03d.ts", playlist="p%v.m3u8")
    check_movie("hls_ts_apart", hls_track("apart/p0.m3u8", "video", "ts") +
                hls_track("apart/p1.m3u8", "audio", "ts"), streams, duration)
    check_movie("hls_ts_wrap", hls_track(hls(src, "wrap", "-output_ts_offset", "95441"),
                                         "muxed", "ts"), streams, duration)
    # Two runs whose timestamps both start at 1.4 s: the second follows the first.
    half = source("half.mp4", 3)
    half_streams, half_duration = probe(os.path.join(WORK, half))
    check_movie("hls_ts_discontinuity", hls_track(hls(half, "part1"), "muxed", "ts") +
                hls_track(hls(half, "part2"), "muxed", "ts", True)[1:],
                [s[:4] + (s[4] and 2 * s[4],) for s in half_streams], 2 * half_duration)
    os.makedirs(os.path.join(WORK, "dash"))
    ffmpeg("-i", src, "-c", "copy", "-f", "dash", "-seg_duration", "1", "-use_template", "1",
           "-use_timeline", "1", "dash/m.mpd")
    check_movie("dash_timeline", [
        line for n, kind in ((0, "video"), (1, "audio")) for line in
        ["track\t%s\tfmp4" % kind, "init\t" + win("dash/init-stream%d.m4s" % n)] +
        ["segment\t%s\t0" % win("dash/" + f) for f in
         sorted(os.listdir(os.path.join(WORK, "dash"))) if f.startswith("chunk-stream%d-" % n)]],
        streams, duration)
    os.makedirs(os.path.join(WORK, "single"))
    ffmpeg("-i", src, "-c", "copy", "-f", "dash", "-single_file", "1", "single/m.mpd")
    check_movie("dash_single_file", [
        line for n, kind in ((0, "video"), (1, "audio")) for line in
        ["track\t%s\tfmp4" % kind, "init\t" + win("single/m-stream%d.mp4" % n),
         "segment\t%s\t0" % win("single/m-stream%d.mp4" % n)]], streams, duration)
    other = source("other.ts", 2, ("-c:v", "mpeg2video", "-c:a", "mp2", "-f", "mpegts"))
    said, out = join("other", ["track\tmuxed\tts"] + ["segment\t%s\t0" % win(other)] * 2)
    joined = open(os.path.join(WORK, other), "rb").read() * 2
    if said != "ts" or open(out, "rb").read() != joined:
        failures.append("other codecs: the writer said %r and wrote other bytes" % said)


try:
    main()
finally:
    shutil.rmtree(WORK, ignore_errors=True)
for failure in failures:
    print("FAIL: " + failure)
sys.exit(1 if failures else 0)
