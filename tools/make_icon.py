#!/usr/bin/env python3
"""Writes the plug-in's icon (resource 600) as a Windows .ico file: a framed landscape with a sun,
drawn at 32 x 32 and 16 x 16 in 32-bit colour with an all-opaque AND mask.

usage: tools/make_icon.py resources/image.ico
"""
import struct
import sys


def pixel(x, y, n):
    """Colour (r, g, b) at (x, y) of an n x n icon, y counted from the top."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    border = 2 if n >= 32 else 1
    if x < border or y < border or x >= n - border or y >= n - border:
        return (64, 40, 24)  # wooden frame
    if (u - 0.70) ** 2 + (v - 0.30) ** 2 < 0.012:
        return (255, 214, 40)  # sun
    hill = 0.62 + 0.10 * ((u - 0.35) ** 2) * 4 - 0.08 * (1 - abs(u - 0.3) * 2)
    if v > hill:
        shade = int(150 - 60 * (v - hill) / (1 - hill))
        return (40, shade, 50)  # hill
    return (90 + int(100 * v), 150 + int(70 * v), 235)  # sky, lighter towards the horizon


def image(n):
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = bytearray()
    for y in range(n - 1, -1, -1):  # bottom-up
        for x in range(n):
            r, g, b = pixel(x, y, n)
            rows += bytes((b, g, r, 255))
    mask_stride = ((n + 31) // 32) * 4
    return header + bytes(rows) + bytes(mask_stride * n)


def main():
    sizes = (32, 16)
    images = [image(n) for n in sizes]
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for n, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
