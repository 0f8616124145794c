#!/usr/bin/python3
"""Draws the application's icon for the hicolor theme at the usual sizes.

Run from this folder; it rewrites hicolor/NxN/apps/tessarin.png. 32 x 32 is
the window's own icon; every other size is the same design drawn at that size
(src/qt/resources/make_pictures.py), not the 32-pixel one scaled.
Needs Python 3 with PIL (Debian: python3-pil).
"""

import math
import os
import shutil
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
WINDOW_RESOURCES = os.path.join(HERE, "..", "..", "src", "platform", "qt", "resources")
sys.path.insert(0, WINDOW_RESOURCES)
from make_pictures import draw_icon  # noqa: E402

SIZES = [16, 22, 24, 32, 48, 64, 128, 256]
SUPERSAMPLING = 4  # small sizes are drawn larger and reduced, for smooth edges


def icon_at(size):
    if size % 32 == 0:
        return draw_icon(size // 32)
    scale = math.ceil(size * SUPERSAMPLING / 32)
    return draw_icon(scale).resize((size, size), Image.LANCZOS)


def main():
    for size in SIZES:
        folder = os.path.join(HERE, "hicolor", f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        target = os.path.join(folder, "tessarin.png")
        if size == 32:
            shutil.copyfile(os.path.join(WINDOW_RESOURCES, "icon.png"), target)
        else:
            icon_at(size).save(target, optimize=True)


if __name__ == "__main__":
    main()
