"""What the movie tests check of a file with ffprobe and ffmpeg: its streams
(kind, codec, size, video frames), its length and a clean decode."""
import json
import subprocess


def probe(path):
    """The sorted streams as (kind, codec, width, height, video frames), and the length in s."""
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                          "stream=codec_type,codec_name,width,height,nb_read_frames:"
                          "format=duration", "-of", "json", path],
                         capture_output=True, text=True, check=True, timeout=300).stdout
    found = json.loads(out)
    streams = sorted((s["codec_type"], s["codec_name"], s.get("width"), s.get("height"),
                      int(s["nb_read_frames"]) if s["codec_type"] == "video" else None)
                     for s in found["streams"])
    return streams, float(found["format"]["duration"])


def check_movie(name, path, expected, failures):
    """Appends to `failures` what differs from `expected` (streams, length within 0.1 s), and
    anything ffmpeg says while decoding it whole."""
    streams, duration = probe(path)
    errors = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "null", "-"],
                            capture_output=True, text=True, timeout=300)
    print("%s: %s, %.3f s (source %s, %.3f s)" % (name, streams, duration, *expected))
    if streams != expected[0]:
        failures.append("%s: streams %s, not %s" % (name, streams, expected[0]))
    if abs(duration - expected[1]) > 0.1:
        failures.append("%s: %.3f s long, not %.3f s" % (name, duration, expected[1]))
    if errors.stdout + errors.stderr:
        failures.append("%s: ffmpeg says %r" % (name, (errors.stdout + errors.stderr)[:300]))
