#!/usr/bin/env python3
"""Renders the logo picture described in logo_texture.txt into the raw texture the program
embeds: 64 x 64 pixels of red, green, blue bytes, top row first, no header.

    make_logo_texture.py [--check] SOURCE OUTPUT

With --check nothing is written: the exit code is 1 when OUTPUT differs from what SOURCE gives.
"""
import math
import sys

SIZE = 64
SUPER = 4  # samples per pixel along each axis; the edges come out smooth
TINTS = list(range(99, 256, 12))  # 99, 111, ..., 255


class Canvas:
    def __init__(self):
        n = SIZE * SUPER
        self.tint = [[255.0] * n for _ in range(n)]

    def paint(self, inside, tint_at):
        """Paints every sample whose pixel-space centre (x, y) is inside the shape."""
        n = SIZE * SUPER
        for j in range(n):
            y = (j + 0.5) / SUPER
            row = self.tint[j]
            for i in range(n):
                x = (i + 0.5) / SUPER
                if inside(x, y):
                    row[i] = tint_at(x, y)

    def pixels(self):
        """Averages each pixel's samples and rounds it to the nearest allowed tint."""
        out = []
        for py in range(SIZE):
            row = []
            for px in range(SIZE):
                total = 0.0
                for j in range(py * SUPER, (py + 1) * SUPER):
                    total += sum(self.tint[j][px * SUPER:(px + 1) * SUPER])
                mean = total / (SUPER * SUPER)
                row.append(min(TINTS, key=lambda t: (abs(t - mean), t)))
            out.append(row)
        return out


def in_ellipse(x, y, cx, cy, rx, ry):
    return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def angle_of(x, y, cx, cy):
    # y grows downward in the picture, so up is negative y
    return math.degrees(math.atan2(cy - y, x - cx)) % 360.0


def paint_fill(canvas, args):
    (tint,) = args
    canvas.paint(lambda x, y: True, lambda x, y: tint)


def paint_ellipse(canvas, args):
    cx, cy, rx, ry, tint = args
    canvas.paint(lambda x, y: in_ellipse(x, y, cx, cy, rx, ry), lambda x, y: tint)


def paint_band(canvas, args):
    cx, cy, rx, ry, width, start, stop, tint = args

    def inside(x, y):
        return (in_ellipse(x, y, cx, cy, rx, ry)
                and not in_ellipse(x, y, cx, cy, rx - width, ry - width)
                and start <= angle_of(x, y, cx, cy) <= stop)

    canvas.paint(inside, lambda x, y: tint)


def paint_glyph(canvas, args, art):
    left, top, cell, top_tint, bottom_tint = args
    height = len(art) * cell
    width = max(len(line) for line in art) * cell

    def inside(x, y):
        col = int((x - left) // cell)
        row = int((y - top) // cell)
        return (0 <= row < len(art) and 0 <= col < len(art[row])
                and art[row][col] == '#')

    def tint_at(x, y):
        f = min(max((y - top) / height, 0.0), 1.0)
        return top_tint + (bottom_tint - top_tint) * f

    if left + width > SIZE or top + height > SIZE:
        raise ValueError('glyph does not fit the picture')
    canvas.paint(inside, tint_at)


def render(source_text):
    canvas = Canvas()
    lines = iter(source_text.splitlines())
    for line in lines:
        words = line.split('#', 1)[0].split()
        if not words:
            continue
        kind, args = words[0], [float(w) for w in words[1:]]
        if kind == 'fill':
            paint_fill(canvas, args)
        elif kind == 'ellipse':
            paint_ellipse(canvas, args)
        elif kind == 'band':
            paint_band(canvas, args)
        elif kind == 'glyph':
            art = []
            for art_line in lines:
                if art_line.strip() == 'end':
                    break
                art.append(art_line.strip())
            paint_glyph(canvas, args, art)
        else:
            raise ValueError('unknown shape: ' + kind)
    return canvas.pixels()


def to_bytes(pixels):
    out = bytearray()
    for row in pixels:  # top row first: it lies along the top edge of the cube's front face
        for tint in row:
            out += bytes((tint, tint, 255))
    return bytes(out)


def main(argv):
    check = '--check' in argv
    paths = [a for a in argv if a != '--check']
    if len(paths) != 2:
        sys.stderr.write(__doc__)
        return 2
    source, output = paths
    with open(source, encoding='utf-8') as f:
        data = to_bytes(render(f.read()))
    if check:
        with open(output, 'rb') as f:
            same = f.read() == data
        if not same:
            print(output + ' differs from what ' + source + ' gives: regenerate it')
        return 0 if same else 1
    with open(output, 'wb') as f:
        f.write(data)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
