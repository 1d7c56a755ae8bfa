#!/usr/bin/env python3
"""Draws the installer's pictures from the program's own picture (tools/icons/program.txt).

    make_installer_art.py FOLDER

writes FOLDER/header.bmp (150 x 57, the pages' header) and FOLDER/finish.bmp (164 x 314,
the finish page's side). Both are 24-bit BMPs made with integer arithmetic only, so the same
drawing gives the same bytes on every run and every machine.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "icons"))
import make_icons  # noqa: E402  (the icons' palette and the picture's reader)

WHITE = (255, 255, 255)


def bmp(width, height, pixel):
    """A bottom-up 24-bit BMP of pixel(x, y) -> (r, g, b), y = 0 at the top."""
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in reversed(range(height)):
        row = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        rows += row + bytes(stride - len(row))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + bytes(rows)


def picture():
    """The program's picture cropped to what it paints: rows of (r, g, b) or None."""
    rows = make_icons.read_picture(os.path.join(HERE, "..", "icons", "program.txt"))
    painted = [(x, y) for y, row in enumerate(rows) for x, c in enumerate(row) if c is not None]
    left = min(x for x, _ in painted)
    right = max(x for x, _ in painted)
    top = min(y for _, y in painted)
    bottom = max(y for _, y in painted)
    return [[None if c is None else make_icons.PALETTE[c] for c in row[left:right + 1]]
            for row in rows[top:bottom + 1]]


def placed(image, scale, left, top, ground):
    """pixel(x, y) of the picture enlarged scale times at (left, top) over ground(x, y)."""
    def pixel(x, y):
        row, column = (y - top) // scale, (x - left) // scale
        if 0 <= row < len(image) and 0 <= column < len(image[0]):
            colour = image[row][column]
            if colour is not None:
                return colour
        return ground(x, y)
    return pixel


def mix(a, b, part, whole):
    return tuple((p * (whole - part) + q * part + whole // 2) // whole for p, q in zip(a, b))


def header(image):
    """White like the header it sits in, the picture twice its size at the right."""
    width, height, scale = 150, 57, 2
    # The picture is one pixel taller than the header at this size: its top point is cut.
    top = (height - len(image) * scale) // 2
    left = width - len(image[0]) * scale - 8
    return bmp(width, height, placed(image, scale, left, top, lambda x, y: WHITE))


def finish(image):
    """A deep blue that lightens downwards, the picture four times its size in the upper
    half over a soft shadow."""
    width, height, scale = 164, 314, 4
    top_colour, bottom_colour, shadow = (20, 36, 92), (70, 120, 184), (10, 18, 46)
    left = (width - len(image[0]) * scale) // 2
    top = 56

    def ground(x, y):
        return mix(top_colour, bottom_colour, y, height - 1)

    def shaded(x, y):
        row, column = (y - top - 6) // scale, (x - left - 6) // scale
        if 0 <= row < len(image) and 0 <= column < len(image[0]) and image[row][column]:
            return mix(ground(x, y), shadow, 1, 2)
        return ground(x, y)

    return bmp(width, height, placed(image, scale, left, top, shaded))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    image = picture()
    for name, data in (("header.bmp", header(image)), ("finish.bmp", finish(image))):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
