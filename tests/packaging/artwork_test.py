#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The committed artwork is what scripts/draw_artwork.py draws, and every
desktop icon has the size of the directory it is installed from.

    artwork_test.py SOURCE_DIR
"""
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

ARTWORK = [
    "ui/images/logo.bmp",
    "ui/images/icon16.png",
    "data/icons/hicolor/scalable/apps/vorneck.svg",
] + ["data/icons/hicolor/%dx%d/apps/vorneck.png" % (s, s) for s in (32, 48, 64, 128, 256)]


def png_parts(path):
    """(header, palette, transparency, pixel rows) of a PNG, compression aside."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("%s: not a PNG" % path)
    chunks, pos, idat = {}, 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IDAT":
            idat += body
        else:
            chunks[kind] = body
        pos += 12 + length
    return chunks.get(b"IHDR"), chunks.get(b"PLTE"), chunks.get(b"tRNS"), zlib.decompress(idat)


def main(source):
    failures = []
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([sys.executable, os.path.join(source, "scripts", "draw_artwork.py"),
                        "--out", out], check=True)
        for name in ARTWORK:
            committed, drawn = os.path.join(source, name), os.path.join(out, name)
            if not os.path.exists(committed):
                failures.append("%s: not committed" % name)
                continue
            if name.endswith(".png"):
                same = png_parts(committed) == png_parts(drawn)
            else:
                with open(committed, "rb") as a, open(drawn, "rb") as b:
                    same = a.read() == b.read()
            if not same:
                failures.append("%s: differs from what scripts/draw_artwork.py draws" % name)

    hicolor = os.path.join(source, "data", "icons", "hicolor")
    for entry in sorted(os.listdir(hicolor)):
        if entry == "scalable":
            continue
        width, height = (int(v) for v in entry.split("x"))
        header = png_parts(os.path.join(hicolor, entry, "apps", "vorneck.png"))[0]
        size = struct.unpack(">II", header[:8])
        if size != (width, height):
            failures.append("%s: the icon is %dx%d" % (entry, size[0], size[1]))
    icon16 = png_parts(os.path.join(source, "ui", "images", "icon16.png"))[0]
    if struct.unpack(">II", icon16[:8]) != (16, 16):
        failures.append("icon16.png is not 16 x 16")

    svg = ET.parse(os.path.join(hicolor, "scalable", "apps", "vorneck.svg")).getroot()
    if svg.tag != "{http://www.w3.org/2000/svg}svg" or svg.get("viewBox") != "0 0 16 16":
        failures.append("vorneck.svg: not an SVG of the icon's 16 x 16 units")

    for failure in failures:
        print("FAIL: " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
