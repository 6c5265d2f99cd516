#!/usr/bin/env python3
"""Draws Marrowfin's icon: 32 x 32 pixels, 256 colours, written as an .ico file.

A blue rounded tile with a strip of film and a white arrow pointing down into
a tray, the program's picture of "fetch a video onto the disk".
usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

W = H = 32
palette = [
    (0, 0, 0),        # 0 transparent (masked)
    (39, 104, 146),   # 1 tile blue
    (60, 117, 157),   # 2 tile light edge
    (255, 255, 255),  # 3 white
    (24, 58, 84),     # 4 film dark
    (255, 199, 0),    # 5 amber
    (201, 211, 216),  # 6 pale grey
]
palette += [(0, 0, 0)] * (256 - len(palette))


def inside_rounded(x, y, r=5):
    cx = min(max(x, r), W - 1 - r)
    cy = min(max(y, r), H - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


px = [[0] * W for _ in range(H)]
for y in range(H):
    for x in range(W):
        if inside_rounded(x, y):
            px[y][x] = 2 if (x < 2 or y < 2) and inside_rounded(x, y, 5) else 1
# film strip across the upper half, with sprocket holes
for y in range(5, 15):
    for x in range(4, 28):
        px[y][x] = 4
for x in range(5, 27, 3):
    px[6][x] = px[6][x + 1] = 6
    px[13][x] = px[13][x + 1] = 6
for y in range(8, 12):
    for x in range(7, 25):
        px[y][x] = 5
# the arrow: shaft and head
for y in range(12, 22):
    for x in range(14, 18):
        px[y][x] = 3
for i, y in enumerate(range(19, 26)):
    for x in range(9 + i, 23 - i):
        px[y][x] = 3
# the tray under the arrow
for x in range(7, 25):
    px[27][x] = 3
for y in range(24, 28):
    px[y][7] = px[y][24] = 3

xor_rows = b"".join(bytes(px[y]) for y in reversed(range(H)))
and_rows = b""
for y in reversed(range(H)):
    bits = 0
    for x in range(W):
        if px[y][x] == 0:
            bits |= 1 << (31 - x)
    and_rows += struct.pack(">I", bits)

header = struct.pack("<IiiHHIIiiII", 40, W, H * 2, 1, 8, 0, len(xor_rows) + len(and_rows), 0, 0, 256, 0)
pal = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in palette)
image = header + pal + xor_rows + and_rows
ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", W, H, 0, 0, 1, 8, len(image), 22) + image
with open(sys.argv[1], "wb") as f:
    f.write(ico)
