#!/usr/bin/env python3
"""Draws docs/icons.png: every icon of res/icons enlarged, each row on a light strip and on the
dark taskbar of Windows 10 (its default) and 11 (#202020), where black figures are hard to read.

Row n holds the numbers 10n to 10n + 9 (the program's picture stands where 0 would be) and the
last row holds 100. The icons are read back from the .ico files, so the sheet shows what ships.
"""

import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
ICON_DIR = os.path.join(ROOT, "res", "icons")
OUTPUT = os.path.join(ROOT, "docs", "icons.png")

SCALE = 4
GAP = 24
CELL = 32 * SCALE + GAP
COLUMNS = 10
LIGHT = (236, 236, 236)
DARK = (32, 32, 32)  # #202020, the dark taskbar of Windows 10 and 11


def read_icon(path):
    """Returns 32 rows of (r, g, b) or None where the mask lets the ground through."""
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 18)[0]
    palette = [struct.unpack_from("BBB", data, offset + 40 + 4 * i)[::-1] for i in range(16)]
    colour = offset + 104
    mask = offset + 616
    rows = []
    for y in range(32):
        stored = 31 - y  # bottom row first
        bits = struct.unpack_from(">I", data, mask + 4 * stored)[0]
        row = []
        for x in range(32):
            nibble = data[colour + 16 * stored + x // 2] >> (0 if x % 2 else 4) & 15
            row.append(None if bits >> (31 - x) & 1 else palette[nibble])
        rows.append(row)
    return rows


def write_png(path, width, height, pixels):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(pixels[y * width * 3:(y + 1) * width * 3]) for y in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    icons = [read_icon(os.path.join(ICON_DIR, "%03d.ico" % n)) for n in range(1, 102)]
    rows = (len(icons) + COLUMNS - 1) // COLUMNS
    width = COLUMNS * CELL + GAP
    height = rows * 2 * CELL + GAP
    pixels = bytearray(width * height * 3)
    for y in range(height):
        ground = LIGHT if (y // CELL) % 2 == 0 else DARK
        for x in range(width):
            pixels[(y * width + x) * 3:(y * width + x) * 3 + 3] = bytes(ground)
    for index, icon in enumerate(icons):
        row, column = divmod(index, COLUMNS)
        for strip in (0, 1):
            top = (2 * row + strip) * CELL + GAP
            left = column * CELL + GAP
            for y in range(32 * SCALE):
                for x in range(32 * SCALE):
                    c = icon[y // SCALE][x // SCALE]
                    if c is not None:
                        at = ((top + y) * width + left + x) * 3
                        pixels[at:at + 3] = bytes(c)
    write_png(OUTPUT, width, height, pixels)
    print("wrote " + OUTPUT)
    return 0


if __name__ == "__main__":
    sys.exit(main())
