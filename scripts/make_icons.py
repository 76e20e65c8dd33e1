#!/usr/bin/env python3
"""Draws the program's icon, a small scatter plot, and writes it as .ico or .png.

Standard library only, so the build needs nothing beyond a Python interpreter:
    make_icons.py ico OUT.ico 32 16     one 32-bit BMP image per size
    make_icons.py png OUT.png 48        the same motif for the Linux window
"""

import argparse
import struct
import sys
import zlib

# The point colours of the plot itself, so the icon looks like the program's own picture.
RED = (255, 0, 0)
GREEN = (0, 160, 0)
BLACK = (0, 0, 0)
BLUE = (0, 0, 255)
MAGENTA = (255, 0, 255)

PAPER = (255, 255, 255)
EDGE = (96, 96, 96)
FRAME = (0, 150, 170)

# x, y in [0, 1] with y growing upward, as on the plot.
POINTS = [
    (0.12, 0.16, RED),
    (0.22, 0.30, RED),
    (0.32, 0.22, GREEN),
    (0.38, 0.46, GREEN),
    (0.48, 0.38, BLACK),
    (0.52, 0.60, BLACK),
    (0.30, 0.62, BLACK),
    (0.62, 0.50, BLUE),
    (0.70, 0.72, BLUE),
    (0.72, 0.32, BLUE),
    (0.80, 0.64, MAGENTA),
    (0.86, 0.86, MAGENTA),
]


def draw(size):
    """The icon as rows (top first) of (r, g, b, a) tuples."""
    if size < 8:
        raise ValueError("icon size must be at least 8")
    rows = [[PAPER + (255,) for _ in range(size)] for _ in range(size)]
    last = size - 1
    for i in range(size):
        for x, y in ((i, 0), (i, last), (0, i), (last, i)):
            rows[y][x] = EDGE + (255,)

    # The frame of the plot: left and bottom axes inside a one-pixel margin of paper.
    inner_left, inner_bottom = 2, last - 2
    inner_right, inner_top = last - 2, 2
    for y in range(inner_top, inner_bottom + 1):
        rows[y][inner_left] = FRAME + (255,)
    for x in range(inner_left, inner_right + 1):
        rows[inner_bottom][x] = FRAME + (255,)

    dot = max(1, size // 16)
    span_x = inner_right - inner_left - 1 - dot
    span_y = inner_bottom - inner_top - 1 - dot
    for px, py, colour in POINTS:
        left = inner_left + 1 + round(px * span_x)
        top = inner_bottom - dot - round(py * span_y)
        for y in range(top, top + dot):
            for x in range(left, left + dot):
                rows[y][x] = colour + (255,)
    return rows


def bmp_image(rows):
    """One icon image: a BITMAPINFOHEADER of double height, BGRA rows bottom-up, then the mask."""
    size = len(rows)
    mask_stride = ((size + 31) // 32) * 4
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        mask_row = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                mask_row[x // 8] |= 0x80 >> (x % 8)
        mask += mask_row
    header = struct.pack(
        "<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0
    )
    return header + bytes(pixels) + bytes(mask)


def ico_bytes(sizes):
    images = [bmp_image(draw(size)) for size in sizes]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def png_chunk(kind, data):
    return (
        struct.pack(">I", len(data))
        + kind
        + data
        + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    )


def png_bytes(size):
    raw = bytearray()
    for row in draw(size):
        raw.append(0)
        for pixel in row:
            raw += bytes(pixel)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (
        b"\x89PNG\r\n\x1a\n"
        + png_chunk(b"IHDR", header)
        + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + png_chunk(b"IEND", b"")
    )


def main(argv):
    parser = argparse.ArgumentParser(description="Writes the program's icon.")
    parser.add_argument("format", choices=("ico", "png"))
    parser.add_argument("output")
    parser.add_argument("sizes", nargs="+", type=int)
    args = parser.parse_args(argv)
    if any(size < 8 or size > 256 for size in args.sizes):
        parser.error("sizes must lie between 8 and 256")
    if args.format == "png" and len(args.sizes) != 1:
        parser.error("a png holds one size")
    data = ico_bytes(args.sizes) if args.format == "ico" else png_bytes(args.sizes[0])
    with open(args.output, "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
