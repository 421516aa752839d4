#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Draws Vorneck's artwork in the 16-colour palette and writes it into ui/images.

    ui/images/logo.bmp     97 x 169, 4 bits per pixel: the main window's picture
    ui/images/icon16.png   16 x 16 window icon, drawn pixel by pixel (palette
                           PNG, colour 0 transparent); also the desktop's 16 x 16
    data/icons/hicolor/NxN/apps/vorneck.png   the same icon for desktops at 32,
                           48, 64, 128 and 256 pixels: the icon's shapes drawn
                           at each size (edges smoothed, bevel and highlights
                           kept whole pixels wide), with the logo's sine trace
                           from 48 pixels up
    data/icons/hicolor/scalable/apps/vorneck.svg   the same shapes as SVG

    scripts/draw_artwork.py [--out DIR]   (DIR instead of the source tree)

Run it from anywhere; it needs nothing beyond the Python standard library.
The files it writes are committed, so the build does not need Python.
"""
import math
import os
import struct
import sys
import zlib

# The classic 16-colour palette.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)

BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]

# 5 x 7 capitals for the name.
GLYPHS = {
    'V': ["X...X", "X...X", "X...X", "X...X", ".X.X.", ".X.X.", "..X.."],
    'O': [".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    'R': ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    'N': ["X...X", "XX..X", "X.X.X", "X.X.X", "X..XX", "X...X", "X...X"],
    'E': ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    'C': [".XXX.", "X...X", "X....", "X....", "X....", "X...X", ".XXX."],
    'K': ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
}


class Canvas:
    def __init__(self, width, height, fill=0):
        self.width, self.height = width, height
        self.pixels = [[fill] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def get(self, x, y):
        return self.pixels[y][x]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.put(x, y, colour)

    def hline(self, x0, x1, y, colour):
        self.rect(x0, y, x1, y, colour)

    def vline(self, x, y0, y1, colour):
        self.rect(x, y0, x, y1, colour)

    def bevel(self, x0, y0, x1, y1, light, dark):
        self.hline(x0, x1, y0, light)
        self.vline(x0, y0, y1, light)
        self.hline(x0, x1, y1, dark)
        self.vline(x1, y0, y1, dark)

    def polygon(self, points, colour):
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            cy = y + 0.5
            xs = []
            for i, (ax, ay) in enumerate(points):
                bx, by = points[(i + 1) % len(points)]
                if (ay <= cy < by) or (by <= cy < ay):
                    xs.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            for a, b in zip(xs[0::2], xs[1::2]):
                for x in range(int(math.ceil(a - 0.5)), int(math.floor(b - 0.5)) + 1):
                    self.put(x, y, colour)

    def text(self, x, y, word, colour, scale=1, spacing=1):
        for ch in word:
            glyph = GLYPHS[ch]
            for gy, row in enumerate(glyph):
                for gx, cell in enumerate(row):
                    if cell == 'X':
                        self.rect(x + gx * scale, y + gy * scale,
                                  x + gx * scale + scale - 1, y + gy * scale + scale - 1, colour)
            x += (5 + spacing) * scale


def dither(canvas, x0, y0, x1, y1, top, bottom):
    """Vertical blend from colour `top` to `bottom` by ordered dithering."""
    for y in range(y0, y1 + 1):
        level = (y - y0) / max(1, y1 - y0) * 16
        for x in range(x0, x1 + 1):
            canvas.put(x, y, bottom if BAYER4[y % 4][x % 4] < level else top)


def wave_box(canvas, x0, y0, x1, y1, colour, func):
    """A small tracker-style sample display: black box, teal grid, one waveform."""
    canvas.rect(x0, y0, x1, y1, BLACK)
    canvas.bevel(x0 - 1, y0 - 1, x1 + 1, y1 + 1, GRAY, WHITE)
    mid = (y0 + y1) // 2
    for x in range(x0, x1 + 1, 2):
        canvas.put(x, mid, TEAL)
    amp = (y1 - y0) // 2 - 2
    previous = None
    for x in range(x0 + 1, x1):
        t = (x - x0 - 1) / (x1 - x0 - 2)
        y = int(round(mid - amp * func(t)))
        if previous is not None:
            for yy in range(min(previous, y), max(previous, y) + 1):
                canvas.put(x, yy, colour)
        canvas.put(x, y, colour)
        previous = y


def draw_logo():
    c = Canvas(97, 169, NAVY)
    dither(c, 0, 0, 96, 84, BLUE, NAVY)
    dither(c, 0, 85, 96, 168, NAVY, BLACK)
    # A raised frame round the picture.
    c.bevel(0, 0, 96, 168, WHITE, BLACK)
    c.bevel(1, 1, 95, 167, SILVER, GRAY)

    # The big V, with a shadow and a highlight edge.
    def v_shape(dx, dy):
        return [(14 + dx, 10 + dy), (33 + dx, 10 + dy), (48.5 + dx, 52 + dy), (64 + dx, 10 + dy),
                (83 + dx, 10 + dy), (57 + dx, 74 + dy), (40 + dx, 74 + dy)]
    c.polygon(v_shape(3, 3), BLACK)
    c.polygon(v_shape(0, 0), OLIVE)
    c.polygon([(16, 11), (31, 11), (48.5, 58), (64, 15), (66, 11), (81, 11), (56, 72), (41, 72)], YELLOW)
    for x in range(15, 32):
        c.put(x, 10, WHITE)
    for x in range(65, 82):
        c.put(x, 10, WHITE)

    # A sample leaving the V: a sine trace across its point.
    for x in range(6, 91):
        y = int(round(40 + 5 * math.sin((x - 6) / 84 * 4 * math.pi)))
        c.put(x, y, AQUA)
        c.put(x, y + 1, TEAL)

    # Three samples, as a tracker would draw them.
    wave_box(c, 10, 86, 86, 100, AQUA, lambda t: math.sin(t * 4 * math.pi))
    wave_box(c, 10, 106, 86, 120, LIME, lambda t: 0.8 if (t * 3) % 1 < 0.5 else -0.8)
    wave_box(c, 10, 126, 86, 140, FUCHSIA, lambda t: 1 - 2 * ((t * 3) % 1))

    # The name, twice the size of the little font, with a shadow.
    width = 7 * 5 * 2 + 6 * 2
    x = (97 - width) // 2
    c.text(x + 1, 148, "VORNECK", BLACK, scale=2, spacing=1)
    c.text(x, 147, "VORNECK", WHITE, scale=2, spacing=1)
    return c


def draw_icon():
    c = Canvas(16, 16, -1)  # -1: transparent
    c.rect(1, 1, 14, 14, NAVY)
    c.bevel(0, 0, 15, 15, BLUE, BLACK)
    c.polygon([(3, 3), (7, 3), (9, 10), (11, 3), (15, 3), (11, 15), (7, 15)], BLACK)
    c.polygon([(2, 2), (6, 2), (8, 9), (10, 2), (14, 2), (10, 14), (6, 14)], OLIVE)
    c.polygon([(2, 2), (5, 2), (8, 11), (10, 3), (13, 2), (9.5, 13), (6.5, 13)], YELLOW)
    c.hline(2, 5, 2, WHITE)
    c.hline(10, 13, 2, WHITE)
    c.bevel(0, 0, 15, 15, BLUE, BLACK)
    return c


def write_bmp4(canvas, path):
    row_bytes = ((canvas.width * 4 + 31) // 32) * 4
    data = bytearray()
    for y in range(canvas.height - 1, -1, -1):  # bottom-up
        row = bytearray(row_bytes)
        for x in range(canvas.width):
            v = canvas.get(x, y) & 15
            if x % 2 == 0:
                row[x // 2] |= v << 4
            else:
                row[x // 2] |= v
        data += row
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 4, 0, len(data),
                       3780, 3780, 16, 16)
    with open(path, "wb") as f:
        f.write(header + info + palette + data)


def write_png(canvas, path, scale=1):
    """A palette PNG: index 0 transparent, indices 1..16 the palette."""
    width, height = canvas.width * scale, canvas.height * scale
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        for x in range(width):
            v = canvas.get(x // scale, y // scale)
            raw.append(0 if v < 0 else v + 1)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    plte = bytes([0, 0, 0]) + b"".join(bytes(c) for c in PALETTE)
    trns = bytes([0])
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 3, 0, 0, 0))
    png += chunk(b"PLTE", plte)
    png += chunk(b"tRNS", trns)
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# The desktop icon's shapes, in the 16 x 16 icon's units (one unit is one
# pixel of icon16.png), painted in this order over the navy square; the
# bevel round the square goes on last.
ICON_V = [(2, 2), (6, 2), (8, 9), (10, 2), (14, 2), (10, 14), (6, 14)]
ICON_V_FACE = [(2, 2), (5, 2), (8, 11), (10, 3), (13, 2), (9.5, 13), (6.5, 13)]
ICON_SIZES = (32, 48, 64, 128, 256)


def icon_wave(thickness):
    """The logo's sine trace, as a band `thickness` units high across the V."""
    top, bottom = [], []
    steps = 64
    for i in range(steps + 1):
        x = 1.5 + 13 * i / steps
        y = 8.5 - 1.6 * math.sin(i / steps * 4 * math.pi)
        top.append((x, y - thickness / 2))
        bottom.append((x, y + thickness / 2))
    return top + bottom[::-1]


def icon_shapes(size):
    """(colour, polygon) pairs of the icon at `size` pixels, in icon units.

    Whole-pixel widths keep the bevel and the highlights crisp: one pixel at
    32, growing with the size.
    """
    unit = size / 16
    edge = max(1, round(size / 32)) / unit  # one edge width, in units
    shapes = [
        (BLACK, [(x + 1, y + 1) for x, y in ICON_V]),
        (OLIVE, ICON_V),
        (YELLOW, ICON_V_FACE),
        (WHITE, [(2, 2), (6, 2), (6, 2 + edge), (2, 2 + edge)]),
        (WHITE, [(10, 2), (14, 2), (14, 2 + edge), (10, 2 + edge)]),
    ]
    if size >= 48:
        wave = max(edge, 0.45)
        shapes.append((TEAL, [(x, y + wave * 0.6) for x, y in icon_wave(wave)]))
        shapes.append((AQUA, icon_wave(wave)))
    # The bevel: light along the top and left, dark along the bottom and right.
    shapes += [
        (BLUE, [(0, 0), (16, 0), (16, edge), (0, edge)]),
        (BLUE, [(0, 0), (edge, 0), (edge, 16), (0, 16)]),
        (BLACK, [(0, 16 - edge), (16, 16 - edge), (16, 16), (0, 16)]),
        (BLACK, [(16 - edge, 0), (16, 0), (16, 16), (16 - edge, 16)]),
    ]
    return shapes


def draw_icon_at(size, samples=4):
    """The icon at `size` pixels: every shape filled on a grid `samples`
    times finer, then each pixel given the average of its cells (RGBA)."""
    n = size * samples
    scale = n / 16
    grid = [[NAVY] * n for _ in range(n)]
    for colour, points in icon_shapes(size):
        pts = [(x * scale, y * scale) for x, y in points]
        ys = [p[1] for p in pts]
        for y in range(max(0, int(min(ys))), min(n, int(math.ceil(max(ys))))):
            cy = y + 0.5
            xs = []
            for i, (ax, ay) in enumerate(pts):
                bx, by = pts[(i + 1) % len(pts)]
                if (ay <= cy < by) or (by <= cy < ay):
                    xs.append(ax + (cy - ay) * (bx - ax) / (by - ay))
            xs.sort()
            row = grid[y]
            for a, b in zip(xs[0::2], xs[1::2]):
                x0 = max(0, int(math.ceil(a - 0.5)))
                x1 = min(n - 1, int(math.floor(b - 0.5)))
                if x1 >= x0:
                    row[x0:x1 + 1] = [colour] * (x1 - x0 + 1)
    pixels = []
    cells = samples * samples
    for py in range(size):
        out = []
        rows = grid[py * samples:(py + 1) * samples]
        for px in range(size):
            r = g = b = 0
            for row in rows:
                for colour in row[px * samples:(px + 1) * samples]:
                    cr, cg, cb = PALETTE[colour]
                    r += cr
                    g += cg
                    b += cb
            out.append(((r + cells // 2) // cells, (g + cells // 2) // cells,
                        (b + cells // 2) // cells, 255))
        pixels.append(out)
    return pixels


def icon_svg():
    """The icon's shapes as SVG, with the edges of a 256-pixel drawing."""
    def hexcolour(colour):
        return "#%02x%02x%02x" % PALETTE[colour]

    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        "<!-- SPDX-License-Identifier: MIT -->",
        "<!-- Vorneck's icon; written by scripts/draw_artwork.py -->",
        '<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 16 16">',
        '  <rect x="0" y="0" width="16" height="16" fill="%s"/>' % hexcolour(NAVY),
    ]
    for colour, points in icon_shapes(256):
        coords = " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in points)
        lines.append('  <polygon fill="%s" points="%s"/>' % (hexcolour(colour), coords))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def fmt(value):
    text = "%.3f" % value
    return text.rstrip("0").rstrip(".") if "." in text else text


def write_png_rgba(pixels, path):
    height, width = len(pixels), len(pixels[0])
    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    if len(argv) == 3 and argv[1] == "--out":
        root = argv[2]
    elif len(argv) != 1:
        print("usage: draw_artwork.py [--out DIR]", file=sys.stderr)
        return 2
    out = os.path.join(root, "ui", "images")
    os.makedirs(out, exist_ok=True)
    write_bmp4(draw_logo(), os.path.join(out, "logo.bmp"))
    write_png(draw_icon(), os.path.join(out, "icon16.png"))
    hicolor = os.path.join(root, "data", "icons", "hicolor")
    for size in ICON_SIZES:
        apps = os.path.join(hicolor, "%dx%d" % (size, size), "apps")
        os.makedirs(apps, exist_ok=True)
        write_png_rgba(draw_icon_at(size), os.path.join(apps, "vorneck.png"))
    scalable = os.path.join(hicolor, "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    with open(os.path.join(scalable, "vorneck.svg"), "w") as f:
        f.write(icon_svg())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
