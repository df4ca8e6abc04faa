#!/usr/bin/env bash
# Writes the seeds of the PNG fuzz target into fuzz/corpus/png: tiny pictures (7 x 5) of every
# colour type and depth, interlaced or not, with and without a transparent colour, made by
# ImageMagick (a 1-bit palette one, which ImageMagick does not write, by imagetool from a 1-bit
# BMP); the plain ones with each row filter; and damaged or unusual forms of one of them. The
# committed files are its output; run it again only to change them.
#
# usage: tools/make_png_seeds.sh [IMAGETOOL]   (default build/native/cli/imagetool)
set -euo pipefail
cd "$(dirname "$0")/.."
convert=/usr/bin/convert-im6.q16
imagetool=${1:-build/native/cli/imagetool}
out=fuzz/corpus/png
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
src=(-seed 5 -size 7x5 plasma:)
seed() {  # seed NAME OPTIONS... FORMAT:
  local name=$1; shift
  "$convert" "${src[@]}" "${@:1:$#-1}" -strip "${@: -1}$out/$name.png"
}
# Palettes of exactly 4 and 16 colours make ImageMagick choose 2 and 4 bits per index.
"$convert" xc:red xc:blue xc:yellow xc:teal xc:'#123456' xc:'#abcdef' xc:olive xc:orange \
  xc:navy xc:purple xc:'#c0ffee' xc:'#facade' xc:'#0f0f0f' xc:'#f0f0f0' xc:'#102030' \
  xc:'#302010' +append "$tmp/colours.png"
"$convert" "$tmp/colours.png" -crop 4x1+0+0 +repage "$tmp/four.png"
seed palette2 +dither -remap "$tmp/four.png" -define png:color-type=3 PNG:
seed palette4 +dither -remap "$tmp/colours.png" -define png:color-type=3 PNG:
"$convert" "${src[@]}" -colors 2 -type Palette -compress None BMP3:"$tmp/one.bmp"
"$imagetool" flip "$tmp/one.bmp" "$out/palette1.png"
seed palette8 -colors 200 PNG8:
seed palette8-trns -colors 60 -transparent "$("$convert" "${src[@]}" -colors 60 -format '%[pixel:p{0,0}]' info:)" PNG8:
seed palette8-interlaced -colors 200 -interlace PNG PNG8:
seed grey1 -colorspace gray -depth 1 PNG:
seed grey2 -colorspace gray -depth 2 PNG:
seed grey4 -colorspace gray -depth 4 PNG:
seed grey8 -colorspace gray -depth 8 PNG:
seed grey16 -colorspace gray -depth 16 PNG:
seed grey-alpha -colorspace gray -alpha set -channel A -fx i/w +channel -define png:color-type=4 PNG:
seed rgb PNG24:
seed rgb-interlaced -interlace PNG PNG24:
seed rgb16 -depth 16 PNG48:
seed rgba PNG32:
seed rgba16 -alpha set -channel A -fx i/w +channel -depth 16 PNG64:
seed rgb16-trns -fill red -draw "point 0,0" -transparent red -define png:color-type=2 PNG:
seed grey8-trns -colorspace gray -fill black -draw "point 0,0" -transparent black \
  -define png:color-type=0 -depth 8 PNG:

# Rows the reader unfilters itself: the plain kinds with every row given one filter (0-4), and
# rgb.png changed in the ways that make the reader leave a file to libpng from its first IDAT on
# (libpng reads some of them with a warning and refuses the others).
python3 - "$out" <<'PY'
import struct, sys, zlib
out = sys.argv[1]

def chunks(data):
    at, found = 8, []
    while at + 12 <= len(data):
        n = struct.unpack(">I", data[at:at + 4])[0]
        found.append([data[at + 4:at + 8], data[at + 8:at + 8 + n], False])
        at += 12 + n
    return found

def write(name, parts):
    data = b"\x89PNG\r\n\x1a\n"
    for kind, body, bad_crc in parts:
        crc = zlib.crc32(kind + body) ^ (1 if bad_crc else 0)
        data += struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)
    open(f"{out}/{name}.png", "wb").write(data)

def with_rows(parts, rows):
    idat = [b"IDAT", zlib.compress(bytes(rows)), False]
    return [p for p in parts if p[0] != b"IDAT"][:-1] + [idat, parts[-1]]

def paeth(a, b, c):
    pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c

def predict(kind, a, b, c):
    return [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]

def raw_rows(parts):
    width, height, depth, colour = struct.unpack(">IIBB", parts[0][1][:10])
    bpp = max(1, {0: 1, 2: 3, 3: 1, 6: 4}[colour] * depth // 8)
    line = ({0: 1, 2: 3, 3: 1, 6: 4}[colour] * depth * width + 7) // 8
    data = zlib.decompress(b"".join(p[1] for p in parts if p[0] == b"IDAT"))
    rows, prior = [], [0] * line
    for y in range(height):
        kind, row = data[y * (line + 1)], list(data[y * (line + 1) + 1:(y + 1) * (line + 1)])
        for i in range(line):
            a, c = (row[i - bpp], prior[i - bpp]) if i >= bpp else (0, 0)
            row[i] = (row[i] + predict(kind, a, prior[i], c)) % 256
        rows.append(row)
        prior = row
    return rows, bpp

def filtered(rows, bpp, kind):
    data, prior = [], [0] * len(rows[0])
    for row in rows:
        data.append(kind)
        for i in range(len(row)):
            a, c = (row[i - bpp], prior[i - bpp]) if i >= bpp else (0, 0)
            data.append((row[i] - predict(kind, a, prior[i], c)) % 256)
        prior = row
    return data

for name in ["rgb", "rgba", "grey8", "grey2", "palette8"]:
    parts = chunks(open(f"{out}/{name}.png", "rb").read())
    rows, bpp = raw_rows(parts)
    for kind in range(5):
        write(f"{name}-filter{kind}", with_rows(parts, filtered(rows, bpp, kind)))

parts = chunks(open(f"{out}/rgb.png", "rb").read())
assert [p[0] for p in parts] == [b"IHDR", b"IDAT", b"IEND"]
ihdr, idat, iend = parts
text = [b"tEXt", b"a\0b", False]
rows = zlib.decompress(idat[1])
stream = idat[1]
variants = {
    "idat-pieces": [ihdr] + [[b"IDAT", stream[i:i + 7], False] for i in range(0, len(stream), 7)]
                   + [iend],
    "idat-empty-last": [ihdr, idat, [b"IDAT", b"", False], iend],
    "text-after": [ihdr, idat, text, iend],
    "text-bad-crc-after": [ihdr, idat, text[:2] + [True], iend],
    "idat-after-text": [ihdr, idat, text, idat, iend],
    "bytes-after-stream": [ihdr, [b"IDAT", stream + b"\0", False], iend],
    "critical-after": [ihdr, idat, [b"ABCD", b"", False], iend],
    "iend-data": [ihdr, idat, [b"IEND", b"\1", False]],
    "rows-too-long": with_rows(parts, rows + bytes(200)),
    "rows-too-short": with_rows(parts, rows[:-5]),
    "filter-byte-5": with_rows(parts, rows[:22] + b"\5" + rows[23:]),
    "adler-wrong": [ihdr, [b"IDAT", stream[:-1] + bytes([stream[-1] ^ 1]), False], iend],
    "idat-bad-crc": [ihdr, idat[:2] + [True], iend],
    "no-iend": [ihdr, idat],
}
for name, variant in variants.items():
    write(f"rgb-{name}", variant)
PY
