#!/usr/bin/env python3
"""Makes the seventeen stock mask shapes as Windows metafiles in resources/masks/.

Each shape is drawn from plain geometry (circles, arcs, Bezier and Catmull-Rom curves, straight
edges) in logical units with y growing upward, and written as a standard metafile (version
0x0300, no placeable header) with the structure the mask engine relies on:

    anisotropic mapping; window origin at the top-left of the shape's bounding box (plus an
    optional narrow border) and extent (width, -height); a null pen; a solid black brush; the
    alternate fill rule; then one polygon record per part (parts overlap, so each is filled on
    its own and the shape is their union), or one poly-polygon for the chequerboard.

Shape names and ids come from resources/texts.h (IDS_SHAPE_*); each file is named after its shape
in lower case with spaces as underscores. The output is deterministic: running this again gives
the same bytes.

usage: tools/make_masks.py [OUTPUT_FOLDER]      (default: resources/masks of this tree)
       tools/make_masks.py --check               exit 1 unless resources/masks is up to date
"""

import math
import os
import re
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Longest straight piece of a curve, in logical units. The shapes span about 4000 units, so on a
# 1000-pixel mask a piece is under 8 pixels long and strays less than 1/20 pixel from the curve.
STEP = 30.0


# --- Geometry: every outline is a list of (x, y) float points, closed implicitly. ---------------

def arc(cx, cy, r, a0, a1):
    """Points on a circle from angle a0 to a1 (degrees, counter-clockwise when a1 > a0), both ends
    included."""
    n = max(2, math.ceil(abs(math.radians(a1 - a0)) * r / STEP))
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def circle(cx, cy, r):
    return arc(cx, cy, r, 0, 360)[:-1]


def length(points):
    return sum(math.dist(points[i], points[i + 1]) for i in range(len(points) - 1))


def bezier(p0, p1, p2, p3):
    """A cubic Bezier curve, both ends included."""
    def at(t):
        u = 1 - t
        return (u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0],
                u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1])
    n = max(2, math.ceil(length([p0, p1, p2, p3]) / STEP))
    return [at(i / n) for i in range(n + 1)]


def spline(points):
    """An open Catmull-Rom curve through `points` (the ends are passed through once)."""
    out = []
    ext = [points[0]] + list(points) + [points[-1]]
    for i in range(1, len(ext) - 2):
        p0, p1, p2, p3 = ext[i - 1], ext[i], ext[i + 1], ext[i + 2]
        c1 = (p1[0] + (p2[0] - p0[0]) / 6, p1[1] + (p2[1] - p0[1]) / 6)
        c2 = (p2[0] - (p3[0] - p1[0]) / 6, p2[1] - (p3[1] - p1[1]) / 6)
        piece = bezier(p1, c1, c2, p2)
        out += piece if not out else piece[1:]
    return out


def tangent_point(cx, cy, r, px, py, side):
    """Where a line from (px, py) touches the circle (cx, cy, r); side +1 or -1 picks which of the
    two tangents (+1: the one counter-clockwise around the circle from the point's direction)."""
    d = math.hypot(px - cx, py - cy)
    phi = math.atan2(py - cy, px - cx)
    beta = math.acos(r / d)
    return math.degrees(phi + side * beta)


def heart(a, r, tip):
    """A heart, point down: lobes are circles of radius r centred at (+-a, 0), the point at
    (0, -tip); each side runs straight from the point to where it touches its lobe."""
    cusp = math.degrees(math.atan2(math.sqrt(r * r - a * a), -a))  # where the lobes meet, on the right circle
    right_start = tangent_point(a, 0, r, 0, -tip, +1)
    right = arc(a, 0, r, right_start, cusp)
    left = [(-x, y) for (x, y) in reversed(right)]
    return [(0, -tip)] + right + left[1:]


def stem(top_y, bottom_y, neck, foot):
    """A stem with a flared foot: half-width `neck` at top_y widening along concave curves to
    half-width `foot` at bottom_y."""
    h = top_y - bottom_y
    right = bezier((neck, top_y), (neck, top_y - 0.55 * h), (neck + 0.1 * foot, bottom_y + 0.12 * h),
                   (foot, bottom_y))
    left = [(-x, y) for (x, y) in reversed(right)]
    return right + left


def transform(points, angle=0.0, dx=0.0, dy=0.0, sx=1.0, sy=1.0):
    c, s = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    return [(dx + (x * sx) * c - (y * sy) * s, dy + (x * sx) * s + (y * sy) * c) for (x, y) in points]


def band(centre, half_width):
    """A band of the given half-width along an open curve: one outline around it."""
    left, right = [], []
    for i, (x, y) in enumerate(centre):
        x0, y0 = centre[max(i - 1, 0)]
        x1, y1 = centre[min(i + 1, len(centre) - 1)]
        nx, ny = -(y1 - y0), x1 - x0
        norm = math.hypot(nx, ny)
        w = half_width(i / (len(centre) - 1))
        left.append((x + nx / norm * w, y + ny / norm * w))
        right.append((x - nx / norm * w, y - ny / norm * w))
    return left + list(reversed(right))


# --- The shapes: each returns (parts, border), parts being outlines in logical units and border
# the margin left around them inside the window, one number or (x, y). Tall shapes get side margins
# so that on a square mask they are not stretched out of recognition. ----------------------------

def checkers():
    side = 500
    squares = []
    for row in range(8):          # row 0 at the top
        for col in range(8):
            if (row + col) % 2 == 0:  # the top-left square is filled
                x, y = col * side, (8 - row) * side
                squares.append([(x, y), (x + side, y), (x + side, y - side), (x, y - side)])
    return squares, 0


def circle_shape():
    return [circle(0, 0, 2000)], 0


def clover():
    # Four heart-shaped leaves, points at the centre, on the diagonals; a curved stem below.
    leaf = transform(heart(430, 540, 1150), dy=1250)  # point just above the origin, lobes up
    parts = [transform(leaf, angle) for angle in (45, 135, 225, 315)]
    parts.append(circle(0, 0, 330))
    centre = bezier((0, 0), (120, -900), (400, -1700), (1100, -2450))
    parts.append(band(centre, lambda t: 230 - 70 * t))
    return parts, 0


def club():
    r = 860
    parts = [circle(0, 1000, r), circle(-1000, -350, r), circle(1000, -350, r), circle(0, 0, 640)]
    parts.append(stem(-100, -2500, 170, 900))
    return parts, 0


def computer():
    def rounded(x0, y0, x1, y1, r):
        return (arc(x1 - r, y1 - r, r, 0, 90) + arc(x0 + r, y1 - r, r, 90, 180) +
                arc(x0 + r, y0 + r, r, 180, 270) + arc(x1 - r, y0 + r, r, 270, 360))
    screen = rounded(-2000, -700, 2000, 2000, 160)
    neck = [(-380, -500), (380, -500), (300, -1450), (-300, -1450)]
    base = rounded(-1300, -1800, 1300, -1350, 120)
    return [screen, neck, base], 0


def up_arrow_points():
    return [(0, 2000), (2000, 150), (850, 150), (850, -2000), (-850, -2000), (-850, 150), (-2000, 150)]


def up_arrow():
    return [up_arrow_points()], 0


def down_arrow():
    return [[(-x, -y) for (x, y) in up_arrow_points()]], 0


def left_arrow():
    return [[(-y, x) for (x, y) in up_arrow_points()]], 0


def right_arrow():
    return [[(y, -x) for (x, y) in up_arrow_points()]], 0


def diamond():
    return [[(0, 2000), (2000, 0), (0, -2000), (-2000, 0)]], 0


def heart_shape():
    return [heart(880, 1100, 2200)], 0


def keyhole():
    body = [(-380, 700), (380, 700), (1150, -1900), (-1150, -1900)]
    return [circle(0, 900, 1000), body], (350, 0)


def moon():
    # The crescent left between a circle and a second circle shifted left: outer arc round the
    # right, inner arc back; the horns point left.
    R, d, r2 = 2000, 900, 1900
    x = (r2 * r2 - R * R - d * d) / (2 * d)
    top = math.degrees(math.atan2(math.sqrt(R * R - x * x), x))
    inner_top = math.degrees(math.atan2(math.sqrt(R * R - x * x), x + d))
    outer = arc(0, 0, R, top, -top)
    inner = arc(-d, 0, r2, -inner_top, inner_top)
    return [outer + inner[1:-1]], (500, 0)


def profile():
    # A head facing left over neck and shoulders, traced from the bottom-left corner up the chest,
    # over the face and head, down the back, to the bottom-right corner.
    outline = spline([
        (0, 0), (120, 420), (480, 760), (900, 1050),            # chest
        (1000, 1350), (1000, 1700), (880, 1880), (650, 1940),   # throat, under the jaw
        (500, 2000), (470, 2110), (540, 2220),                  # chin
        (470, 2290), (440, 2370), (500, 2420),                  # lower lip
        (430, 2470), (450, 2560), (480, 2620),                  # upper lip
        (330, 2650), (280, 2720), (360, 2850), (470, 3000),     # nose
        (540, 3080), (470, 3200), (480, 3450),                  # eye, brow, forehead
        (620, 3720), (950, 3930), (1450, 4000),                 # crown
        (1950, 3880), (2250, 3550), (2330, 3100), (2250, 2650), # back of the head
        (2050, 2350), (1900, 2000), (1880, 1500),               # nape, back of the neck
        (2300, 1150), (2800, 900), (3050, 500), (3100, 0),      # shoulder
    ])
    return [outline], 0


def spade():
    body = transform(heart(880, 1100, 2300), sy=-1, dy=-250)  # point up
    return [body, stem(-500, -2700, 160, 850)], 0


def star():
    points = []
    for i in range(10):
        r = 2000 if i % 2 == 0 else 2000 * math.sin(math.radians(18)) / math.sin(math.radians(126))
        a = math.radians(90 + 36 * i)
        points.append((r * math.cos(a), r * math.sin(a)))
    return [points], 0


def triangle():
    return [[(0, 2000), (2000, -2000), (-2000, -2000)]], 0


SHAPES = {
    "Checkers": checkers, "Circle": circle_shape, "Clover": clover, "Club": club,
    "Computer": computer, "Down Arrow": down_arrow, "Diamond": diamond, "Heart": heart_shape,
    "Keyhole": keyhole, "Left Arrow": left_arrow, "Moon": moon, "Profile": profile,
    "Right Arrow": right_arrow, "Spade": spade, "Star": star, "Triangle": triangle,
    "Up Arrow": up_arrow,
}


# --- The metafile --------------------------------------------------------------------------------

def to_int(v):
    """Rounds half away from zero, so that shapes symmetric in floats stay symmetric in integers."""
    return int(math.floor(abs(v) + 0.5)) * (1 if v >= 0 else -1)


def record(function, params=b""):
    assert len(params) % 2 == 0
    return struct.pack("<IH", 3 + len(params) // 2, function) + params


def metafile(parts, border, polypolygon):
    polys = []
    for part in parts:
        pts = [(to_int(x), to_int(y)) for (x, y) in part]
        pts = [p for i, p in enumerate(pts) if p != pts[i - 1]]  # drop repeats after rounding
        polys.append(pts)
    xs = [x for p in polys for (x, _) in p]
    ys = [y for p in polys for (_, y) in p]
    bx, by = border if isinstance(border, tuple) else (border, border)
    left, right, bottom, top = min(xs) - bx, max(xs) + bx, min(ys) - by, max(ys) + by
    assert -32768 <= left and right <= 32767 and -32768 <= bottom and top <= 32767
    assert all(len(p) <= 1221 for p in polys)

    body = [
        record(0x0103, struct.pack("<H", 8)),                          # SETMAPMODE anisotropic
        record(0x020B, struct.pack("<hh", top, left)),                  # SETWINDOWORG (y, x)
        record(0x020C, struct.pack("<hh", -(top - bottom), right - left)),  # SETWINDOWEXT (y, x)
        record(0x02FA, struct.pack("<HhhI", 5, 0, 0, 0)),               # CREATEPENINDIRECT null
        record(0x012D, struct.pack("<H", 0)),                           # SELECTOBJECT pen
        record(0x02FC, struct.pack("<HIH", 0, 0x000000, 0)),            # CREATEBRUSHINDIRECT black
        record(0x012D, struct.pack("<H", 1)),                           # SELECTOBJECT brush
        record(0x0106, struct.pack("<H", 1)),                           # SETPOLYFILLMODE alternate
    ]
    if polypolygon:
        counts = b"".join(struct.pack("<H", len(p)) for p in polys)
        points = b"".join(struct.pack("<hh", x, y) for p in polys for (x, y) in p)
        body.append(record(0x0538, struct.pack("<H", len(polys)) + counts + points))  # POLYPOLYGON
    else:
        for p in polys:
            points = b"".join(struct.pack("<hh", x, y) for (x, y) in p)
            body.append(record(0x0324, struct.pack("<h", len(p)) + points))  # POLYGON
    body.append(record(0x0000))                                         # EOF
    words = (18 + sum(len(r) for r in body)) // 2
    largest = max(len(r) for r in body) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, words, 2, largest, 0)
    return header + b"".join(body)


def shape_names():
    """(id, name) of every shape, from the one list of texts."""
    with open(os.path.join(ROOT, "resources", "texts.h"), encoding="utf-8") as f:
        found = re.findall(r'IMAGE_TEXT\(IDS_SHAPE_\w+,\s*(\d+),\s*"([^"]*)"\)', f.read())
    return [(int(i), name) for i, name in found]


def file_name(name):
    return name.lower().replace(" ", "_") + ".wmf"


def outputs():
    """{file name: bytes} of every file the generator makes."""
    names = shape_names()
    assert sorted(n for _, n in names) == sorted(SHAPES), "texts.h and the shapes here disagree"
    files = {}
    lines = ["# Mask shapes", "",
             "Made by `tools/make_masks.py` (run it again after changing a shape; it rewrites every",
             "file here). The plug-in embeds each file as a resource of type \"MASK\" with the id",
             "below; its name is the text with the same id.", "",
             "| Id | Name | File |", "|---|---|---|"]
    for shape_id, name in names:
        parts, border = SHAPES[name]()
        files[file_name(name)] = metafile(parts, border, polypolygon=(name == "Checkers"))
        lines.append(f"| {shape_id} | {name} | {file_name(name)} |")
    files["README.md"] = ("\n".join(lines) + "\n").encode("utf-8")
    return files


def main():
    default = os.path.join(ROOT, "resources", "masks")
    if sys.argv[1:] == ["--check"]:
        stale = []
        for name, data in outputs().items():
            path = os.path.join(default, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
        if stale:
            print("make_masks: out of date: " + ", ".join(stale) + " (run tools/make_masks.py)")
            sys.exit(1)
        print("make_masks: resources/masks is up to date")
        return
    out = sys.argv[1] if len(sys.argv) > 1 else default
    os.makedirs(out, exist_ok=True)
    files = outputs()
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    print(f"make_masks: wrote {len(files) - 1} shapes to {out}")


if __name__ == "__main__":
    main()
