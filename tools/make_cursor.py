#!/usr/bin/env python3
"""Writes the plug-in's hand cursor (resource 400) as a Windows .cur file: an open hand, black
outline on white, 32 x 32 monochrome, hot spot (17, 16) in the middle of the palm.

usage: tools/make_cursor.py resources/hand.cur
"""
import struct
import sys

N = 32
HOT_SPOT = (17, 16)
FINGER_TOPS = (5, 2, 1, 3)  # first row of each finger, index finger first


def hand():
    """The set of (x, y) pixels the hand covers, y counted from the top."""
    covered = set()
    for k, top in enumerate(FINGER_TOPS):
        left, right = 8 + 4 * k, 12 + 4 * k
        for y in range(top, 14):
            for x in range(left, right + 1):
                if not (y == top and x in (left, right)):  # rounded tip
                    covered.add((x, y))
    for y in range(12, 28):
        for x in range(8, 25):
            if not (y == 27 and x in (8, 24)):
                covered.add((x, y))
    for y in range(14, 23):  # the thumb, leaning out to the left
        for x in range(3 + (y - 14) // 2, 9):
            if not (y == 14 and x == 3):
                covered.add((x, y))
    return covered


def outline(covered):
    """Pixels of the hand drawn black: its border and the gaps between the fingers."""
    black = set()
    for (x, y) in covered:
        if any((x + dx, y + dy) not in covered for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1))):
            black.add((x, y))
        if x in (12, 16, 20) and y < 12:
            black.add((x, y))
    return black


def main():
    covered = hand()
    black = outline(covered)
    stride = N // 8
    xor_rows, and_rows = bytearray(), bytearray()
    for y in range(N - 1, -1, -1):  # bottom-up
        xor_row, and_row = bytearray(stride), bytearray(stride)
        for x in range(N):
            bit = 0x80 >> (x % 8)
            if (x, y) not in covered:
                and_row[x // 8] |= bit  # transparent
            elif (x, y) not in black:
                xor_row[x // 8] |= bit  # white
        xor_rows += xor_row
        and_rows += and_row
    header = struct.pack('<IiiHHIIiiII', 40, N, 2 * N, 1, 1, 0, 0, 0, 0, 2, 0)
    colors = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = header + colors + bytes(xor_rows) + bytes(and_rows)
    out = struct.pack('<HHH', 0, 2, 1)
    out += struct.pack('<BBBBHHII', N, N, 2, 0, HOT_SPOT[0], HOT_SPOT[1], len(image), 6 + 16)
    with open(sys.argv[1], 'wb') as f:
        f.write(out + image)
    if '--show' in sys.argv:
        for y in range(N):
            print(''.join('#' if (x, y) in black else '.' if (x, y) in covered else ' '
                          for x in range(N)))


if __name__ == '__main__':
    main()
