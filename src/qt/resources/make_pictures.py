#!/usr/bin/python3
"""Draws the configuration window's decorative background and its icon.

Run from this folder; it rewrites background.jpg (359 x 244) and icon.png
(32 x 32). Needs Python 3 with PIL (Debian: python3-pil).
"""

import math
import random

from PIL import Image, ImageDraw

WIDTH, HEIGHT = 359, 244
TILE, GROUT = 13, 2
# Pale mosaic colours: sea blues, sand and a little terracotta.
PALETTE = [(96, 150, 196), (120, 180, 190), (214, 190, 140), (200, 130, 100), (150, 170, 210)]


def strength(x, y):
    """How strongly a tile shows: fading in towards the right-hand edge and
    kept faint where the labels and boxes sit, so their text stays legible."""
    across = min(max((x - 150) / (WIDTH - 150), 0.0), 1.0)
    wave = 0.5 + 0.5 * math.sin(y / HEIGHT * math.pi * 1.5 + 0.6)
    return across ** 1.6 * (0.55 + 0.45 * wave)


def mix(colour, amount):
    return tuple(round(255 - (255 - c) * amount) for c in colour)


def background():
    rng = random.Random(7)
    picture = Image.new("RGB", (WIDTH, HEIGHT), "white")
    draw = ImageDraw.Draw(picture)
    for top in range(0, HEIGHT, TILE):
        for left in range(0, WIDTH, TILE):
            amount = 0.42 * strength(left + TILE / 2, top + TILE / 2) * rng.uniform(0.6, 1.0)
            if amount < 0.02:
                continue
            box = [left + GROUT // 2, top + GROUT // 2, left + TILE - GROUT, top + TILE - GROUT]
            draw.rectangle(box, fill=mix(rng.choice(PALETTE), amount))
    picture.save("background.jpg", quality=92)


def draw_icon(scale=1):
    """The window's icon, 32 x 32 at scale 1; at a larger scale every shape
    grows with it, so bigger icons (packaging/icons) are drawn, not blown up."""

    def box(left, top, right, bottom):  # inclusive pixel corners at scale 1
        return [left * scale, top * scale, (right + 1) * scale - 1, (bottom + 1) * scale - 1]

    picture = Image.new("RGBA", (32 * scale, 32 * scale), (0, 0, 0, 0))
    draw = ImageDraw.Draw(picture)
    draw.rounded_rectangle(box(0, 0, 31, 31), radius=5 * scale, fill=(60, 90, 130, 255))
    colours = [PALETTE[0], PALETTE[1], PALETTE[4], PALETTE[1], PALETTE[2], PALETTE[0],
               PALETTE[4], PALETTE[0], PALETTE[1]]
    for index, colour in enumerate(colours):
        row, column = divmod(index, 3)
        left, top = 3 + column * 9, 3 + row * 9
        draw.rectangle(box(left, top, left + 7, top + 7), fill=colour + (255,))
    # The inset: a warm block pasted into the top-left corner.
    draw.rectangle(box(3, 3, 14, 14), fill=(230, 140, 90, 255), outline=(255, 255, 255, 255),
                   width=scale)
    return picture


def icon():
    draw_icon().save("icon.png")

if __name__ == "__main__":
    background()
    icon()
