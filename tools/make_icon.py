#!/usr/bin/env python3
"""Draws Marrowfin's icon and writes it as an .ico file with one picture for
each size Windows asks for at 100 % to 200 % display scale (16 to 64 pixels)
and a 256-pixel one for large icon views.

A blue rounded tile with a strip of film and a white arrow pointing down into
a tray, the program's picture of "fetch a video onto the disk". The picture
is drawn once on a grid of 32 units and sampled several times per pixel at
every size, so each size is drawn sharp rather than stretched from another.
usage: make_icon.py OUTPUT.ico
"""
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
UNITS = 32.0

BLUE = (39, 104, 146)
LIGHT_EDGE = (60, 117, 157)
WHITE = (255, 255, 255)
FILM = (24, 58, 84)
AMBER = (255, 199, 0)
PALE = (201, 211, 216)


def in_rounded(x, y, r=5.0):
    cx = min(max(x, r), UNITS - r)
    cy = min(max(y, r), UNITS - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def in_box(x, y, left, top, right, bottom):
    return left <= x < right and top <= y < bottom


def colour_at(x, y):
    """The colour at a point of the 32-unit grid; None outside the tile."""
    if not in_rounded(x, y):
        return None
    # Drawn from the top layer down.
    if in_box(x, y, 7, 27, 25, 28) or in_box(x, y, 7, 24, 8, 28) or in_box(x, y, 24, 24, 25, 28):
        return WHITE  # the tray
    if in_box(x, y, 14, 12, 18, 19) or (19 <= y < 26 and abs(x - 16) <= 7 - (y - 19)):
        return WHITE  # the arrow: shaft and head
    if in_box(x, y, 7, 8, 25, 12):
        return AMBER
    if (in_box(x, y, 5, 6, 27, 7) or in_box(x, y, 5, 13, 27, 14)) and (x - 5) % 3 < 2:
        return PALE  # sprocket holes
    if in_box(x, y, 4, 5, 28, 15):
        return FILM
    return LIGHT_EDGE if x < 2 or y < 2 else BLUE


def render(size):
    """Rows of (b, g, r, a) from the top, premultiplied by coverage."""
    n = 4 if size <= 64 else 2  # samples per pixel along each axis
    step = UNITS / size
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) * step, (py + (sy + 0.5) / n) * step)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a:
                row.append((b // a, g // a, r // a, 255 * a // (n * n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def dib(size, rows):
    """A 32-bit icon image: header, colours bottom-up, an empty AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes(v for px in row for v in px) for row in reversed(rows))
    mask_row = ((size + 31) // 32) * 4
    return header + pixels + b"\0" * (mask_row * size)


def png(size, rows):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(v for (b, g, r, a) in row for v in (r, g, b, a)) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    # Sizes of 256 are stored as PNG, as Windows Vista and later read them.
    images = [png(s, render(s)) if s >= 256 else dib(s, render(s)) for s in SIZES]
    offset = 6 + 16 * len(images)
    directory = b""
    for s, image in zip(SIZES, images):
        directory += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, len(images)) + directory + b"".join(images))


main()
