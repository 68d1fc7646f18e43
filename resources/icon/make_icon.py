#!/usr/bin/env python3
"""Draws the program icon and writes it as vintrel.ico: one icon group of three images,
32x32 in 2 colours, 32x32 in 16 colours and 16x16 in 16 colours; and, for the desktop's icon
theme on Linux, the 16-colour images as vintrel-16.png and vintrel-32.png.

The picture is a database drum squeezed between two arrows. Run it again after changing the
drawing; the files beside it are what the builds use."""

import struct
import sys
import zlib
from pathlib import Path

# The 16-colour palette of the standard VGA, as (red, green, blue).
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_BLUE, GREY, RED, BLUE, CYAN, WHITE = 0, 4, 8, 9, 12, 14, 15


def drum(size):
    """Colour indices (or None for transparent) of the picture at `size` pixels square."""
    s = size / 32.0
    pixels = [[None] * size for _ in range(size)]

    def inside_ellipse(x, y, cx, cy, rx, ry):
        return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0

    cx, rx, ry = 15.5 * s, 10.5 * s, 3.5 * s
    top, bottom = 10.5 * s, 23.5 * s
    for y in range(size):
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            in_body = abs(px - cx) <= rx and top <= py <= bottom
            in_base = inside_ellipse(px, py, cx, bottom, rx, ry)
            in_lid = inside_ellipse(px, py, cx, top, rx, ry)
            if in_lid:
                inner = inside_ellipse(px, py, cx, top, rx - 1.2 * s, ry - 1.0 * s)
                pixels[y][x] = CYAN if inner else DARK_BLUE
            elif in_body or in_base:
                edge = abs(px - cx) > rx - 1.2 * s or not inside_ellipse(
                    px, py, cx, bottom, rx - 1.2 * s, ry - 1.0 * s) and py > bottom
                pixels[y][x] = DARK_BLUE if edge else BLUE
    # Arrows pressing on the drum from above and below.
    length = int(5 * s)
    for row in range(length):
        half = int((length - 1 - row) * 0.8) + 1
        for dx in range(-half, half + 1):
            x = int(cx) + dx
            if 0 <= x < size:
                pixels[row][x] = RED
                pixels[size - 1 - row][x] = RED
    return pixels


def bitmap(pixels, bits, palette_map):
    size = len(pixels)
    colours = 2 if bits == 1 else 16
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, colours, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for r, g, b in (palette_map if bits == 1 else VGA))

    def rows(value_of, depth):
        out = b""
        for y in reversed(range(size)):
            bitstring = "".join(format(value_of(pixels[y][x]), "0%db" % depth) for x in range(size))
            row = int(bitstring, 2).to_bytes(len(bitstring) // 8, "big")
            out += row + b"\0" * (-len(row) % 4)
        return out

    if bits == 1:
        colour = rows(lambda p: 0 if p in (None, BLACK, DARK_BLUE, BLUE, RED) else 1, 1)
    else:
        colour = rows(lambda p: 0 if p is None else p, 4)
    mask = rows(lambda p: 1 if p is None else 0, 1)
    return header + palette + colour + mask


def icon():
    images = [
        (32, 2, 1, bitmap(drum(32), 1, [(0, 0, 0), (255, 255, 255)])),
        (32, 16, 4, bitmap(drum(32), 4, None)),
        (16, 16, 4, bitmap(drum(16), 4, None)),
    ]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for *_, data in images)


def png(pixels):
    """The picture as an RGBA PNG, transparent where the icon's mask is."""
    size = len(pixels)
    rows = b"".join(
        b"\0" + b"".join(bytes(VGA[p]) + b"\xff" if p is not None else b"\0\0\0\0" for p in row)
        for row in pixels)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    folder = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    (folder / "vintrel.ico").write_bytes(icon())
    for size in (16, 32):
        (folder / f"vintrel-{size}.png").write_bytes(png(drum(size)))
