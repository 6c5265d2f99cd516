#!/usr/bin/env python3
"""Makes the streams the media tests read, with ffmpeg, from a generated
picture and tone of 3 seconds:
  hls/   a master with three variants (v0 to v2) and its audio apart (v3)
  dash/  video and audio apart, SegmentTemplate with SegmentTimeline
  base/  one fragmented MP4 with its sidx, a SegmentBase manifest for it,
         and moofs.txt: where each fragment starts and ends
  usage: make_streams.py OUTDIR
"""
import pathlib
import shutil
import struct
import subprocess
import sys

SOURCES = ["-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=3",
           "-f", "lavfi", "-i", "sine=frequency=440:duration=3"]
VIDEO = ["-c:v", "libx264", "-preset", "ultrafast", "-g", "25"]


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-v", "error", "-y", *SOURCES, *args], check=True)


def make_hls(out):
    ffmpeg("-filter_complex", "[0:v]split=3[a][b][c];[b]scale=240:136[b2];[c]scale=160:90[c2]",
           "-map", "[a]", "-map", "[b2]", "-map", "[c2]", "-map", "1:a", *VIDEO,
           "-b:v:0", "400k", "-b:v:1", "200k", "-b:v:2", "100k", "-c:a", "aac",
           "-f", "hls", "-hls_time", "1", "-hls_playlist_type", "vod",
           "-master_pl_name", "master.m3u8",
           "-var_stream_map",
           "v:0,agroup:aud v:1,agroup:aud v:2,agroup:aud a:0,agroup:aud,default:yes",
           "-hls_segment_filename", f"{out}/v%v/seg%03d.ts", f"{out}/v%v/index.m3u8")


def make_dash(out):
    ffmpeg("-map", "0:v", "-map", "1:a", *VIDEO, "-c:a", "aac", "-f", "dash",
           "-use_timeline", "1", "-use_template", "1", "-seg_duration", "1",
           "-adaptation_sets", "id=0,streams=v id=1,streams=a", f"{out}/manifest.mpd")


def boxes(data):
    at = 0
    while at + 8 <= len(data):
        size, kind = struct.unpack(">I4s", data[at:at + 8])
        yield at, size, kind.decode()
        at += size


def make_base(out):
    ffmpeg("-map", "0:v", *VIDEO, "-f", "mp4", "-movflags",
           "+frag_keyframe+empty_moov+global_sidx+default_base_moof", f"{out}/single.mp4")
    found = list(boxes((out / "single.mp4").read_bytes()))
    sidx = next((at, size) for at, size, kind in found if kind == "sidx")
    moofs = [at for at, _, kind in found if kind == "moof"]
    ends = moofs[1:] + [next(at for at, _, kind in found if kind == "mfra")]
    (out / "moofs.txt").write_text("".join(f"{a} {b - a}\n" for a, b in zip(moofs, ends)))
    (out / "manifest.mpd").write_text(
        '<MPD type="static" mediaPresentationDuration="PT3S"><Period><AdaptationSet '
        'mimeType="video/mp4"><Representation id="v" bandwidth="1" height="180">'
        f'<BaseURL>single.mp4</BaseURL><SegmentBase indexRange="{sidx[0]}-{sum(sidx) - 1}">'
        f'<Initialization range="0-{sidx[0] - 1}"/></SegmentBase></Representation>'
        '</AdaptationSet></Period></MPD>\n')


def main():
    root = pathlib.Path(sys.argv[1])
    shutil.rmtree(root, ignore_errors=True)
    for name, make in (("hls", make_hls), ("dash", make_dash), ("base", make_base)):
        (root / name).mkdir(parents=True)
        make(root / name)


if __name__ == "__main__":
    main()
