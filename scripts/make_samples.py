#!/usr/bin/env python3
"""Draws the project's sample pictures: a canvas and three insets, as 24-bit BMP files."""
import math
import struct
from pathlib import Path


def write_bmp(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b), y = 0 at the top."""
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        row += bytes(stride - width * 3)
        rows.append(bytes(row))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 3780, 3780, 0, 0)
    Path(path).write_bytes(header + info + data)


def canvas(x, y):
    # An evening sky over two hills, with a sun.
    t = y / 180
    sky = (int(40 + 200 * t), int(60 + 90 * t), int(140 - 40 * t))
    if math.hypot(x - 250, y - 55) < 22:
        return (255, 220, 120)
    if y > 130 + 18 * math.sin(x / 40):
        return (40, 90 + y // 4, 50)
    if y > 145 + 10 * math.sin(x / 25 + 1):
        return (30, 70, 40)
    return sky


def stripes(x, y):
    return [(230, 70, 60), (250, 200, 60), (70, 160, 220)][(x + y) // 15 % 3]


def checker(x, y):
    return (240, 240, 240) if (x // 15 + y // 15) % 2 else (50, 50, 60)


def rings(x, y):
    d = math.hypot(x - 60, y - 45)
    v = int(127 + 127 * math.cos(d / 4))
    return (v, 255 - v, 200)


if __name__ == "__main__":
    root = Path(__file__).resolve().parent.parent / "samples"
    (root / "insets").mkdir(parents=True, exist_ok=True)
    write_bmp(root / "canvas.bmp", 320, 180, canvas)
    write_bmp(root / "insets" / "stripes.bmp", 120, 90, stripes)
    write_bmp(root / "insets" / "checker.bmp", 120, 90, checker)
    write_bmp(root / "insets" / "rings.bmp", 120, 90, rings)
