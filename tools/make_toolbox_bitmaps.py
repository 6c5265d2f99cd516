#!/usr/bin/env python3
"""Draws the toolbox pictures of Sabledrift's controls: 16 x 15 pixels,
16 colours, written as .bmp files for the resource compiler.

TrayIcon: a strip of taskbar with a small icon in its notification area.
ToolTipOnDemand: a yellow balloon with a tail and two lines of text.
usage: make_toolbox_bitmaps.py TRAYICON.bmp TOOLTIP.bmp
"""
import struct
import sys

W, H = 16, 15
# The standard 16-colour palette; the toolbox takes the bottom-left pixel's
# colour (here light grey, 7) as transparent.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BACK, BLACK, GREY, WHITE, BLUE, NAVY, YELLOW, GREEN = 7, 0, 8, 15, 12, 4, 11, 2


def tray_icon():
    px = [[BACK] * W for _ in range(H)]
    # taskbar strip near the bottom, raised edge on top; the last row stays
    # background so the bottom-left pixel names the transparent colour
    for y in range(9, 14):
        for x in range(16):
            px[y][x] = GREY if y > 9 else WHITE
    # the sunken notification area at its right end
    for y in range(10, 13):
        for x in range(7, 16):
            px[y][x] = BACK
    for x in range(7, 16):
        px[10][x] = GREY
    for y in range(10, 13):
        px[y][7] = GREY
    # the icon: a blue square with a white mark
    for y in range(10, 13):
        for x in range(9, 12):
            px[y][x] = BLUE
    px[11][10] = WHITE
    # a green dot for a second icon
    px[11][13] = px[11][14] = GREEN
    # an arrow pointing down at the icon
    for y in range(0, 5):
        px[y][10] = NAVY
    for i, y in enumerate(range(4, 7)):
        for x in range(8 + i, 13 - i):
            px[y][x] = NAVY
    return px


def tooltip():
    px = [[BACK] * W for _ in range(H)]
    # the balloon body with a black outline
    for y in range(1, 10):
        for x in range(1, 15):
            edge = y in (1, 9) or x in (1, 14)
            corner = (y in (1, 9)) and (x in (1, 14))
            if not corner:
                px[y][x] = BLACK if edge else YELLOW
    # the tail towards the bottom left
    for i, y in enumerate(range(10, 14)):
        px[y][3] = BLACK
        px[y][4 + (3 - i) // 2] = BLACK
        for x in range(4, 4 + (3 - i) // 2):
            px[y][x] = YELLOW
    px[9][4] = px[9][5] = YELLOW
    # two lines of text
    for x in range(3, 13):
        px[3][x] = BLACK if x % 3 else YELLOW
    for x in range(3, 10):
        px[6][x] = BLACK if x % 4 else YELLOW
    return px


def write_bmp(path, px):
    row_bytes = ((W * 4 + 31) // 32) * 4
    rows = b""
    for y in reversed(range(H)):
        row = bytearray()
        for x in range(0, W, 2):
            row.append((px[y][x] << 4) | px[y][x + 1])
        rows += bytes(row) + b"\0" * (row_bytes - len(row))
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 4, 0, len(rows), 2835, 2835, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + rows)


if len(sys.argv) != 3:
    sys.exit(__doc__)
write_bmp(sys.argv[1], tray_icon())
write_bmp(sys.argv[2], tooltip())
