#!/usr/bin/env python3
"""Draws Vyr's icon and writes it as a Windows .ico: 32x32, 16x16, 48x48, 20x20 and 24x24 (20 and
24 are the small icon at 125 % and 150 %, the notification area's sizes there). Below 48 pixels an
image is a 24-bit bitmap with an AND mask; from 48 pixels on it is a PNG of 32 bits (colour and
alpha), as Windows reads large icon images since Vista: a tenth of the bitmap's bytes in Vyr.exe.

usage: scripts/make-icon.py res/vyr.ico

The picture: two overlapping application windows on a blue rounded tile, the front one with an
orange title bar and a tab arrow, the one Alt+Tab brings forward. It is laid out on a 16-unit grid so
that every edge falls on whole pixels at 16, 32 and 48 pixels (at 20 and 24 the edges are rounded
to whole pixels); the tile's rounded corners are cut by
sampling each pixel on a finer grid. The corners outside the tile are transparent
through the icon's AND mask. Needs nothing beyond Python 3's standard library.
"""
import struct
import sys
import zlib

SIZES = (32, 16, 48, 20, 24)  # the order of the images in the file and in the icon group
PNG_FROM = 48  # the smallest size stored as a PNG
GRID = 16
SAMPLES = 4  # per pixel and axis, for the rounded corners

NAVY = (0x14, 0x2C, 0x63)
TILE_TOP = (0x44, 0x88, 0xE8)
TILE_BOTTOM = (0x1D, 0x4C, 0xA8)
BACK_BODY = (0xC4, 0xD2, 0xE8)
BACK_TITLE = (0x72, 0x88, 0xB0)
FRONT_BODY = (0xFF, 0xFF, 0xFF)
FRONT_TITLE = (0xFF, 0x9F, 0x1C)


def inside_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def draw(size):
    """Returns rows of (r, g, b) or None (transparent), top row first."""
    unit = size / GRID  # pixels per grid unit
    line = max(1, int(unit // 2))  # outline width in pixels

    def window(px, py, left, top, right, bottom, body, title):
        """The colour of pixel (px, py) in a window given in grid units, or None outside it."""
        left, top, right, bottom = (round(v * unit) for v in (left, top, right, bottom))
        if not (left <= px < right and top <= py < bottom):
            return None
        if px < left + line or px >= right - line or py < top + line or py >= bottom - line:
            return NAVY
        if py < top + round(2 * unit):
            return title
        return body

    def arrow(px, py):
        """The tab arrow on the front window's body, in whole pixels: shaft, head, stop bar.
        Too fine below 32 pixels, where the two windows alone make the picture."""
        if unit < 2:
            return False
        thick = unit
        top = round(10.5 * unit)  # the shaft's first row
        centre = top + thick / 2
        stop = 12 * unit
        if stop <= px < stop + thick:
            return abs(py + 0.5 - centre) <= 2 * unit
        if 7 * unit <= px < stop - 1 and top <= py < top + thick:
            return True
        head = stop - 1 - px  # columns before the stop bar
        if 0 <= head < 2 * unit:
            return abs(py + 0.5 - centre) <= head + thick / 2
        return False

    def colour_at(px, py, y):
        colour = window(px, py, 5, 6, 15, 14, FRONT_BODY, FRONT_TITLE)
        if colour is not None:
            return NAVY if colour == FRONT_BODY and arrow(px, py) else colour
        colour = window(px, py, 1, 2, 11, 10, BACK_BODY, BACK_TITLE)
        if colour is not None:
            return colour
        t = y / GRID
        return tuple(round(a + (b - a) * t) for a, b in zip(TILE_TOP, TILE_BOTTOM))

    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            # Only the tile's outline is smoothed; everything on it keeps whole-pixel edges.
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / unit
                    y = (py + (sy + 0.5) / SAMPLES) / unit
                    covered += inside_rounded(x, y, 0, 0, GRID, GRID, 3)
            if covered * 2 < SAMPLES * SAMPLES:
                row.append(None)
            else:
                row.append(colour_at(px, py, (py + 0.5) / unit))
        rows.append(row)
    return rows


def dib(rows):
    """A 24-bit icon image: BITMAPINFOHEADER (double height), colour rows, AND mask rows."""
    size = len(rows)
    colour_stride = (size * 3 + 3) // 4 * 4
    mask_stride = (size + 31) // 32 * 4
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        bits = bytearray(mask_stride)
        for x, pixel in enumerate(row):
            if pixel is None:
                line += b"\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                r, g, b = pixel
                line += bytes((b, g, r))
        colour += line + bytes(colour_stride - len(line))
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def png(rows):
    """A PNG of 8-bit RGBA, the transparent corners with alpha 0; every row unfiltered."""
    size = len(rows)
    raw = bytearray()
    for row in rows:  # top-down
        raw.append(0)
        for pixel in row:
            raw += bytes((0, 0, 0, 0)) if pixel is None else bytes(pixel) + b"\xff"

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8 bits, RGBA, deflate, no interlace
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: scripts/make-icon.py <output.ico>")
    images = [png(draw(size)) if size >= PNG_FROM else dib(draw(size)) for size in SIZES]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in zip(SIZES, images):
        bits = 32 if size >= PNG_FROM else 24
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(image), offset)
        offset += len(image)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entries + b"".join(images))


if __name__ == "__main__":
    main()
