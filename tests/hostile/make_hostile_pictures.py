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
CREATE_FONT, EXT_TEXT_OUT = 0x02FB, 0x0A32
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


def text_pile_up():
    # One text record of 65,534 glyphs 2,048 pixels high, every advance zero:
    # the text's box stays one pixel wide while every glyph is drawn.
    count = 65534
    font = record(CREATE_FONT, words(-2048, 0, 0, 0, 400, 0, 0, 0, 0) + b"Sans\0")
    text = record(EXT_TEXT_OUT, words(0, 0, count, 0) + b"W" * count + words(*[0] * count))
    return metafile([font, record(SELECT_OBJECT, words(0)), text], 0, 0, 1000, 1000, 96)


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


# Found by fuzzing: interlaced GIFs that declare large screens, decoded whole
# until their data ends (the allowance and the sanitizers' quarantine once
# took them past the fuzzer's memory limit).
FUZZ_GIF_ENDS_EARLY = bytes.fromhex(
    "47494638396100078e090000002c004000018c000700c12b00474946b839610c0a000000ff2a00")
FUZZ_GIF_DEFECTIVE = bytes.fromhex(
    "47494638396105000500f000000102030405062c4e000000000500fffffffffffffffffdffffffffffffffffffffffff"
    "fffffffffffffffffffffffffffb6fad5af5315fda1fda1ed2a72fb4586faa7b1a5ec7e3a3f50f8dfa2e7d26f88b14b0"
    "378e2e1ecbd8737ef212f68ea3825ff2f23cbc965fcdcd777d9f37c7fa5fecd98b3887d97675f97c8ce381df70ce7afb"
    "74e318057edbe9be09f0f25a46ab6981d7aa7703fd8fe7f4e800057f51d7f113110af560eae3138559c1a8bc5f2a719c"
    "5351e5cea946c9edcb4a9c6c95a9c17babfd62cafe949c4ef2fc13e5c56b87a2ff00f7bff9e6894b69fd59ffd9ffd8ff"
    "e000104a46494600010100000100010000ffdb0043000101010101010101010101010101010101010101010101010101"
    "0101010101010101010101010101010101010101010101010101010101010101010101010101ffdb0043010101010101"
    "010101010101010101010101010101010101010101010101010101010101010101010101010101010101010101010101"
    "0101010101010101010101ffc00011080007000903012200021101031101ffc4001f0000010501010101010100000000"
    "000000000102030405060708090a0bffc400b5100002010303020403050504040000017d010203000411051221304106"
    "13516107227114328191a1082342b1c11552d1f024336272820916180a262517191a2728292a3435363738393a434445"
    "46477778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8"
    "c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f24450a04550a04650a04750a03050a03150a03250a03350a034"
    "50a03550a03650a03750a03950a03950a03a50a03b50a02450a02550a02650a02750a02850a02950a02a50a02b50a02c"
    "50a02d50a02e50a02f50a01850a01950a01a50a01b50a01c50a01d50a01e50a01f50a02050a02150a02250a02350a00c"
    "50a02550a07250a07350977450a07550a07650a07750a06050a06150a06250a06350a06450a06550a06650a06750a068"
    "50a00550a00650a00750a00850a00950a00a50a00b50a047494638396105000500f000670102030405062c0000000005"
    "004c50a04d50a04e50a04f50a05050a05150a05250a05350a03c50a03d50a03e50a03f50a04050a04150a04250a04350"
    "a04450a04550a04650a04750a03050a03150a03250a03350a03450a03550a03650a03750a03850ffff05000002048c8f"
    "a958003b")

# Found by fuzzing: a rectangle outlined by a dashed pen 2100 pixels wide,
# every dash a blob of its own (940 MB asked for under the sanitizers).
FUZZ_WIDE_DASHED_PEN = bytes.fromhex(
    "d7cdc69a0000626466004002c201a005000000002b51010009000003fa00000010002a00000000000400000003010800"
    "050000000b0200000000050000000c021e00280008000000fa02020001000000ff00000007000000fc020200ff000000"
    "0500040000002d010000040000002d010100030000001e00070000001b0414001e0002000227090000001c0604000400"
    "1c002600160014000700000018040a000a00000000001200000038050200030003000000000009000000000009000500"
    "05000f00050005000f0004000000060102000a00000024030300010001000800014172c3bf000800000025ffffffffff"
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"
    "ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff0302000000000027001d000500"
    "000014020300030005000000130219002300040000002701ff000000ff000000070000fc00020200ff00000005000400"
    "00002d010000040000002d010100030000001e00070000001b0414001e0002000200090000001c33040004001c002600"
    "160014000700000018040a000a00000000001200040000002d010000040000002d010100030000001e00070000001b04"
    "14001e0002000200090000001c33040004001c002600160014000700000018040a000a00000000001200000038050000"
    "0000000000000000000000000000000000020003000300000000000900000000000900050005000f00050005000f0004"
    "0000000600320a1400050003000600000012001e001c00616263000600060006002a000000430f2000cc000000020002"
    "000000000008000800140014000038050000000000000000000000000000000000000002000300030000000000090000"
    "0000000900050005000f00050005000f00040000000600320a1400050003000600000012001e001c0061626300060006"
    "0006002a000000430f2000cc000000020002000000000008000800140014002800000002000000020000000100180000"
    "000000000000000000000000000000000031000000000000c000000000000000000000c0c0c0c0c0c00000c0c000")


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
    "text_pile_up.wmf": text_pile_up,
    "fuzz_ends_early.gif": lambda: FUZZ_GIF_ENDS_EARLY,
    "fuzz_defective.gif": lambda: FUZZ_GIF_DEFECTIVE,
    "fuzz_wide_dashed_pen.wmf": lambda: FUZZ_WIDE_DASHED_PEN,
}


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, make in PICTURES.items():
        (folder / name).write_bytes(make())


if __name__ == "__main__":
    main()
