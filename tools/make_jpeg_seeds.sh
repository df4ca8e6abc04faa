#!/usr/bin/env bash
# Writes the seeds of the JPEG fuzz target into fuzz/corpus/jpeg: tiny pictures (13 x 11, so that
# blocks are cut at both edges) of each kind the reader meets: baseline at 4:2:0, 4:2:2 and 4:4:4,
# progressive, greyscale, restart markers, arithmetic coding, an EXIF block with orientation and
# resolution, and a CMYK file (refused). Made with cjpeg (libjpeg-turbo-progs) and ImageMagick.
# The committed files are its output; run it again only to change them.
#
# usage: tools/make_jpeg_seeds.sh
set -euo pipefail
cd "$(dirname "$0")/.."
convert=/usr/bin/convert-im6.q16
out=fuzz/corpus/jpeg
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$convert" -seed 5 -size 13x11 plasma: BMP3:"$tmp/in.bmp"
seed() {  # seed NAME CJPEG-OPTIONS...
  local name=$1; shift
  cjpeg -quality 80 "$@" "$tmp/in.bmp" >"$out/$name.jpg"
}
seed baseline-420
seed baseline-422 -sample 2x1
seed baseline-444 -sample 1x1
seed progressive -progressive
seed grey -grayscale
seed restart -restart 1B
seed arithmetic -arithmetic
seed progressive-arithmetic -progressive -arithmetic
"$convert" "$tmp/in.bmp" -colorspace CMYK -quality 80 "$out/cmyk.jpg"
# An APP1 block after SOI: big-endian TIFF, orientation 6, 300 x 150 dots per inch.
python3 - "$out/baseline-420.jpg" "$out/exif.jpg" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
entries = [(0x0112, 3, 1, struct.pack(">HH", 6, 0)), (0x011A, 5, 1, struct.pack(">I", 62)),
           (0x011B, 5, 1, struct.pack(">I", 70)), (0x0128, 3, 1, struct.pack(">HH", 2, 0))]
ifd = struct.pack(">H", len(entries)) + b"".join(
    struct.pack(">HHI", tag, kind, count) + value for tag, kind, count, value in entries)
tiff = b"MM\0*" + struct.pack(">I", 8) + ifd + struct.pack(">I", 0)
tiff += struct.pack(">II", 300, 1) + struct.pack(">II", 150, 1)
body = b"Exif\0\0" + tiff
open(sys.argv[2], "wb").write(data[:2] + b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body + data[2:])
PY
