#!/usr/bin/env python3
"""Writes small pictures that declare a great deal of work or memory.

Each one is a few bytes to a few megabytes on disk and asks for gigabytes or
minutes when drawn naively; a run must end with it within the time and memory
bounds that run_hostile_pictures.py checks.

    make_hostile_pictures.py FOLDER     writes NAME.wmf / NAME.bmp into FOLDER
"""
import struct
import sys
from pathlib import Path

# Metafile record functions.
SAVE_DC, RESTORE_DC, SELECT_OBJECT = 0x001E, 0x0127, 0x012D
SET_MAP_MODE, SET_WINDOW_EXT, SET_VIEWPORT_EXT = 0x0103, 0x020C, 0x020E
MOVE_TO, LINE_TO, RECTANGLE, PAT_BLT = 0x0214, 0x0213, 0x041B, 0x061D
SCALE_VIEWPORT_EXT, CREATE_PALETTE = 0x0412, 0x00F7
CREATE_PEN, CREATE_BRUSH, DIB_PATTERN_BRUSH, DIB_BITBLT = 0x02FA, 0x02FC, 0x0142, 0x0940
ANISOTROPIC, PS_DOT, PATCOPY = 8, 2, 0x00F00021


def words(*values):
    return b"".join(struct.pack("<H", v & 0xFFFF) for v in values)


def record(function, params=b""):
    if len(params) % 2:
        params += b"\0"
    return struct.pack("<IH", 3 + len(params) // 2, function) + params


def metafile(records, left, top, right, bottom, inch, objects=16):
    """A placeable metafile of these records (bytes), ended by EOF."""
    body = b"".join(records) + record(0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, left, top, right, bottom, inch, 0)
    checksum = 0
    for i in range(0, 20, 2):
        checksum ^= struct.unpack_from("<H", placeable, i)[0]
    placeable += struct.pack("<H", checksum)
    largest = max(struct.unpack_from("<I", body, 0)[0], 3)
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, 9 + len(body) // 2, objects, largest, 0)
    return placeable + header + body


def rle8_dib(width, height):
    """A DIB (info header first) of an RLE8 bitmap whose data is only 'end of bitmap'."""
    data = b"\x00\x01"
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(data), 0, 0, 1, 0)
    return info + b"\x00\x00\x00\x00" + data


def pattern_brushes():
    # Six DIB pattern brushes, each 9000 x 9000 pixels, all kept in the object table.
    brush = record(DIB_PATTERN_BRUSH, words(5, 0) + rle8_dib(9000, 9000))
    return metafile([brush] * 6, 0, 0, 100, 100, 96)


def zero_width_blits():
    # DIBBITBLT records whose source is 0 pixels wide, each with a 9000 x 9000 bitmap.
    rop = words(0x0020, 0x00CC)
    blit = record(DIB_BITBLT, rop + words(0, 0, 10, 0, 0, 0) + rle8_dib(9000, 9000))
    return metafile([blit] * 40, 0, 0, 100, 100, 96)


def save_dc():
    return metafile([record(SAVE_DC)] * 2_000_000, 0, 0, 100, 100, 96)


def palettes():
    # A full object table, then palettes that find no free slot.
    return metafile([record(CREATE_PALETTE, words(0x0300, 0))] * 300_000, 0, 0, 100, 100, 96,
                    objects=65535)


def dotted_lines():
    # A 16 x 16 frame, magnified 32767 times: every line runs half a million
    # pixels, nearly all outside the picture.
    head = [record(SET_MAP_MODE, words(ANISOTROPIC)), record(SET_WINDOW_EXT, words(1, 1)),
            record(SET_VIEWPORT_EXT, words(32767, 32767)),
            record(CREATE_PEN, words(PS_DOT, 0, 0, 0xFFFF, 0x00FF)), record(SELECT_OBJECT, words(0))]
    lines = [record(MOVE_TO, words(0, 0)) + record(LINE_TO, words(16, 16))] * 2000
    return metafile(head + lines, 0, 0, 16, 16, 96)


def infinite_viewport():
    # The viewport's width scaled to infinity and its height to 0: the area of
    # what is drawn there is not a number; then the old mapping comes back and
    # thousands of full-frame fills follow.
    scale = record(SCALE_VIEWPORT_EXT, words(1, 0, 1, 32767))
    head = [record(CREATE_BRUSH, words(0, 0x00FF, 0, 0)), record(SELECT_OBJECT, words(0)),
            record(SAVE_DC)] + [scale] * 70 + [record(RECTANGLE, words(10, 10, 0, 0)),
                                               record(RESTORE_DC, words(-1))]
    fill = record(PAT_BLT, words(PATCOPY & 0xFFFF, PATCOPY >> 16, 4000, 4000, 0, 0))
    return metafile(head + [fill] * 12_000, 0, 0, 4000, 4000, 96)


def rle8_bmp(width, height):
    """A BMP file of rle8_dib(width, height), padded to 64 bytes."""
    dib = rle8_dib(width, height) + b"\0" * 4
    return b"BM" + struct.pack("<IHHI", 14 + len(dib), 0, 0, 14 + 40 + 4) + dib


def wide_row_bmp():
    # One row of a hundred million pixels, in 64 bytes.
    return rle8_bmp(100_000_000, 1)


def huge_canvas_bmp():
    # A picture whose BMP file would take 4 GB, in 64 bytes.
    return rle8_bmp(37000, 38000)


def large_canvas_bmp():
    # 243 MB of pixels, in 64 bytes: as canvas and inset, the block is as large.
    return rle8_bmp(9000, 9000)


def large_frame():
    # The largest metafile frame there is memory for: twice is once too many.
    return metafile([], 0, 0, 8000, 8000, 96)


PICTURES = {
    "pattern_brushes.wmf": pattern_brushes,
    "zero_width_blits.wmf": zero_width_blits,
    "save_dc.wmf": save_dc,
    "palettes.wmf": palettes,
    "dotted_lines.wmf": dotted_lines,
    "infinite_viewport.wmf": infinite_viewport,
    "wide_row.bmp": wide_row_bmp,
    "huge_canvas.bmp": huge_canvas_bmp,
    "large_canvas.bmp": large_canvas_bmp,
    "large_frame.wmf": large_frame,
}


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, make in PICTURES.items():
        (folder / name).write_bytes(make())


if __name__ == "__main__":
    main()
