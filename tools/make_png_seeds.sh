#!/usr/bin/env bash
# Writes the seeds of the PNG fuzz target into fuzz/corpus/png: tiny pictures (7 x 5) of every
# colour type and depth, interlaced or not, with and without a transparent colour, made by
# ImageMagick (a 1-bit palette one, which ImageMagick does not write, by imagetool from a 1-bit
# BMP). The committed files are its output; run it again only to change them.
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
