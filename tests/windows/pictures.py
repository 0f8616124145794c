#!/usr/bin/env python3
"""Pictures for the end-to-end tests under Wine, and checks of what
tessarin.exe wrote (24-bit BMP files, read with the standard library only).

  pictures.py canvas OUT W H           a canvas whose every pixel differs
  pictures.py pattern OUT W H          an inset in other colours
  pictures.py pixel FILE X Y           prints "r g b"
  pictures.py composed OUT CANVAS INSET X Y W H
                                       exit 0 when OUT is CANVAS with the
                                       W x H top-left block of INSET at X, Y
"""

import struct
import sys


def write_bmp(path, width, height, colour):
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = colour(x, y)
            row += bytes((b, g, r))
        rows.append(bytes(row) + b"\0" * (stride - width * 3))
    data = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + data)


class Bmp:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        if self.data[:2] != b"BM":
            raise SystemExit(f"{path}: not a BMP file")
        self.offset, = struct.unpack_from("<I", self.data, 10)
        self.width, self.height = struct.unpack_from("<ii", self.data, 18)
        bits, = struct.unpack_from("<H", self.data, 28)
        if bits != 24 or self.height <= 0:
            raise SystemExit(f"{path}: not a 24-bit bottom-up BMP")
        self.stride = (self.width * 3 + 3) // 4 * 4

    def pixel(self, x, y):
        at = self.offset + (self.height - 1 - y) * self.stride + x * 3
        b, g, r = self.data[at:at + 3]
        return r, g, b


def canvas_colour(x, y):
    return (x * 4) % 256, (y * 5) % 256, 90


def pattern_colour(x, y):
    return 200, (x * 7) % 256, (y * 9) % 256


def composed(out, canvas, inset, x0, y0, w, h):
    out, canvas, inset = Bmp(out), Bmp(canvas), Bmp(inset)
    if (out.width, out.height) != (canvas.width, canvas.height):
        print(f"size {out.width}x{out.height}, expected {canvas.width}x{canvas.height}")
        return 1
    for y in range(out.height):
        for x in range(out.width):
            inside = x0 <= x < x0 + min(w, inset.width) and y0 <= y < y0 + min(h, inset.height)
            expected = inset.pixel(x - x0, y - y0) if inside else canvas.pixel(x, y)
            if out.pixel(x, y) != expected:
                print(f"pixel {x},{y} is {out.pixel(x, y)}, expected {expected}")
                return 1
    return 0


def main(args):
    command = args[0]
    if command in ("canvas", "pattern"):
        colour = canvas_colour if command == "canvas" else pattern_colour
        write_bmp(args[1], int(args[2]), int(args[3]), colour)
        return 0
    if command == "pixel":
        print(*Bmp(args[1]).pixel(int(args[2]), int(args[3])))
        return 0
    if command == "composed":
        return composed(args[1], args[2], args[3], *map(int, args[4:8]))
    raise SystemExit(__doc__)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
