#!/usr/bin/env python3
"""Writes res/icons/001.ico to 101.ico from the drawings in figures.txt and program.txt.

Icon 1 is the program's picture; icon k + 1 shows the number k (1 to 100) as black figures
on a transparent ground. With --check nothing is written: the exit status says whether the
files in res/icons are exactly what the drawings make.
"""

import argparse
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ICON_DIR = os.path.join(ROOT, "res", "icons")

SIZE = 32
IMAGE_BYTES = 744
# The standard 16-colour palette as red, green, blue.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
TRANSPARENT = None
BLACK = 0

# Rows of the figures: two-figure numbers stand on rows 6..26, 100 on rows 8..22.
TALL_TOP = 6
SHORT_TOP = 8


def read_figures(path):
    """Returns {("tall"|"short", digit): [row strings]}."""
    figures = {}
    current = None
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("# "):
                current = None
                continue
            words = line.split()
            if len(words) == 2 and words[0] in ("tall", "short"):
                current = []
                figures[(words[0], int(words[1]))] = current
            elif current is not None and set(line) <= set(".#"):
                current.append(line)
            else:
                sys.exit("%s:%d: not a figure row: %r" % (path, number, line))
    for (face, digit), rows in figures.items():
        if len({len(r) for r in rows}) != 1:
            sys.exit("%s: %s %d has rows of different widths" % (path, face, digit))
        tall = 21 if face == "tall" else 15
        if len(rows) != tall:
            sys.exit("%s: %s %d is %d rows, not %d" % (path, face, digit, len(rows), tall))
    return figures


def read_picture(path):
    """Returns 32 rows of palette indices (None where transparent)."""
    keys = {".": TRANSPARENT}
    rows = None
    with open(path, encoding="ascii") as f:
        for line in f:
            line = line.rstrip("\n")
            if rows is not None:
                if line:
                    rows.append(line)
            elif line.startswith("key "):
                words = line.split()
                keys[words[1]] = int(words[2])
            elif line == "picture":
                rows = []
    if rows is None or len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit("%s: the picture must be %d rows of %d characters" % (path, SIZE, SIZE))
    return [[keys[c] for c in row] for row in rows]


def blank():
    return [[TRANSPARENT] * SIZE for _ in range(SIZE)]


def stamp(image, rows, left, top):
    for y, row in enumerate(rows):
        for x, c in enumerate(row):
            if c == "#":
                image[top + y][left + x] = BLACK


def two_figure_columns(tens, units):
    """First columns of the tens and units figures of a number from 1 to 99."""
    if tens == 1:
        # A leading 1 is narrow, so the pair closes up and stays centred.
        return (3, 19) if units == 1 else (3, 15)
    if units == 1:
        # A units 1 leaves its half lopsided; a tens figure with a heavy right side
        # moves right with it, 5, 6 and 7 (open on the right) stay.
        return (1, 19) if tens in (5, 6, 7) else (2, 20)
    return (1, 17)


def gauge_image(number, figures):
    image = blank()
    if number == 100:
        stamp(image, figures[("short", 1)], 1, SHORT_TOP)
        stamp(image, figures[("short", 0)], 9, SHORT_TOP)
        stamp(image, figures[("short", 0)], 21, SHORT_TOP)
        return image
    tens, units = divmod(number, 10)
    tens_left, units_left = two_figure_columns(tens, units)
    stamp(image, figures[("tall", tens)], tens_left, TALL_TOP)
    stamp(image, figures[("tall", units)], units_left, TALL_TOP)
    return image


def icon_file(image, program_picture):
    """A one-image .ico: directory, entry, then the 744-byte image."""
    if program_picture:
        image_size, colours = 640, 0
    else:
        image_size, colours = 512, 16
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0, image_size, 0, 0,
                         colours, colours)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(image):  # bottom row first
        for x in range(0, SIZE, 2):
            left, right = row[x] or 0, row[x + 1] or 0
            colour.append(left << 4 | right)
        bits = 0
        for c in row:
            bits = bits << 1 | (1 if c is TRANSPARENT else 0)
        mask += struct.pack(">I", bits)
    body = header + palette + bytes(colour) + bytes(mask)
    assert len(body) == IMAGE_BYTES
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, IMAGE_BYTES, 6 + 16)
    return directory + entry + body


def all_icons():
    """{file name: bytes} for icons 1 to 101."""
    figures = read_figures(os.path.join(HERE, "figures.txt"))
    icons = {"001.ico": icon_file(read_picture(os.path.join(HERE, "program.txt")), True)}
    for number in range(1, 101):
        icons["%03d.ico" % (number + 1)] = icon_file(gauge_image(number, figures), False)
    return icons


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with res/icons instead of writing")
    args = parser.parse_args()
    icons = all_icons()
    if args.check:
        stale = []
        for name, data in sorted(icons.items()):
            path = os.path.join(ICON_DIR, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
        if stale:
            print("out of date (run tools/icons/make_icons.py): " + " ".join(stale))
            return 1
        print("res/icons matches the drawings (%d icons)" % len(icons))
        return 0
    os.makedirs(ICON_DIR, exist_ok=True)
    for name, data in sorted(icons.items()):
        with open(os.path.join(ICON_DIR, name), "wb") as f:
            f.write(data)
    print("wrote %d icons to %s" % (len(icons), ICON_DIR))
    return 0


if __name__ == "__main__":
    sys.exit(main())
