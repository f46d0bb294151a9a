#!/usr/bin/env python3
"""Draws Veltrana's program icon and writes it as a Windows .ico file.

    python3 packaging/win32/draw_icon.py packaging/win32/Veltrana.ico

The icon is a rounded tile, teal at the top deepening to navy, with a white
"V" and an amber spark above it: the application taking off. It is drawn
from the shapes below at 16, 32, 48 and 256 pixels, each size on its own
pixel grid (not scaled down from the large one), with 4x4 samples per pixel
for smooth edges. 16 and 32 pixels are stored as 32-bit bitmaps, which
every Windows version reads; 48 and 256 as PNG, which Windows Vista and
later read and which keeps the executable small. Only the Python standard
library is needed, so the build itself never draws: the .ico is committed
beside this script.
"""

import math
import struct
import sys
import zlib

SIZES = (16, 32, 48, 256)
SAMPLES = 4

TOP = (0x1B, 0x9A, 0xAA)  # teal
BOTTOM = (0x12, 0x2B, 0x55)  # navy
MARK = (0xFF, 0xFF, 0xFF)
SPARK = (0xFF, 0xB3, 0x2E)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def inside_tile(x, y, margin, radius):
    """Rounded square over the unit square, margin from each edge."""
    cx = min(max(x, margin + radius), 1 - margin - radius)
    cy = min(max(y, margin + radius), 1 - margin - radius)
    return math.hypot(x - cx, y - cy) <= radius


def colour_at(x, y, size):
    """Straight (not premultiplied) RGBA of one sample point in unit coordinates."""
    # Small icons get proportionally bolder strokes so the V stays readable.
    margin = 0.5 / size if size <= 32 else 0.04
    stroke = 0.085 if size >= 48 else 0.1
    if not inside_tile(x, y, margin, 0.2):
        return None
    if math.hypot(x - 0.5, y - 0.2) <= 0.085:
        return SPARK
    if min(segment_distance(x, y, 0.27, 0.33, 0.5, 0.8),
           segment_distance(x, y, 0.73, 0.33, 0.5, 0.8)) <= stroke:
        return MARK
    t = (y - margin) / (1 - 2 * margin)
    return tuple(round(a + (b - a) * t) for a, b in zip(TOP, BOTTOM))


def render(size):
    """Rows of (r, g, b, a), top row first."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size,
                                  (py + (sy + 0.5) / SAMPLES) / size, size)
                    if c is not None:
                        r, g, b, covered = r + c[0], g + c[1], b + c[2], covered + 1
            if covered:
                row.append((r // covered, g // covered, b // covered, 255 * covered // n))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def png(rows):
    size = len(rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def bitmap(rows):
    """A DIB as an icon holds it: header with doubled height, BGRA rows
    bottom up, then the 1-bit AND mask (rows padded to 32 bits)."""
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colours = b"".join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(rows) for p in row)
    mask_row = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colours + mask


def icon(images):
    """An .ico file from (size, image bytes) pairs."""
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    data = b""
    for size, image in images:
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image),
                                 offset + len(data))
        data += image
    return directory + data


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_icon.py OUTPUT.ico")
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, png(rows) if size >= 48 else bitmap(rows)))
    with open(sys.argv[1], "wb") as f:
        f.write(icon(images))


if __name__ == "__main__":
    main()
