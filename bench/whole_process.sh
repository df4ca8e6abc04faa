#!/usr/bin/env bash
# Whole-process timing of imagetool on a large 24-bit picture: each command against the floor of
# the same run (reading its input and writing a file of its output's size), as medians of paired
# runs, with the fastest run, the run-to-run spread of the command and of its floor, and the
# command's peak memory. The spread is given twice: over all runs ((slowest - fastest) / median),
# and over the middle half (third quartile - first quartile) / median, which one stalled run does
# not move. The floor's spread is the machine's own noise: a command whose spread is no larger
# than its floor's varies only as reading and writing do.
# Every timed run, the command's and the floor's, writes a new file: the previous one is removed
# beforehand, outside the timing. Replacing a file of tens of megabytes makes the file system free
# its pages and (ext4) start writing the new one out at once, which costs as much as the whole
# command and varies several times over from run to run; that belongs to the file left behind,
# not to the command, and would otherwise dominate both the figures and their spread.
# On a virtual machine whose virtio balloon reports free pages, memory freed in the guest is handed
# back to the host a second or so later, and the next run that takes it faults it in through the
# host again: 0.1-0.3 s of system time for a command whose buffers are on huge pages, where the
# floor (page cache only) hardly notices. Where the kernel counts what it reported, the last column
# shows how much that was during each command's runs: a slow run and a report go together.
#   bench/whole_process.sh [IMAGETOOL] [RUNS]   (default build/release/cli/imagetool, 7 runs)
set -euo pipefail
tool=$(realpath "${1:-build/release/cli/imagetool}")
runs=${2:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$tool" sample >/dev/null  # the built-in sample, in imagetool-sample/
"$tool" scale --width 4000 --height 3000 --quality low imagetool-sample/sample-24bit.bmp in.bmp

commands=(
  "invert" "flip" "mirror" "crop --rect 100,100,3800,2800" "rotate --angle 90"
  "rotate --angle 180" "rotate --angle 30" "frame --margins 20,20,20,20"
  "scale --width 1333 --height 1000" "scale --width 200% --height 200%"
  "tile --across 3 --down 2" "mask --shape Heart"
)

now() { date +%s.%N; }
reported=/sys/module/page_reporting/parameters/reported_kib
reported_mb() { if [[ -r $reported ]]; then echo $(($(<"$reported") / 1024)); fi; }
for features in /sys/bus/virtio/drivers/virtio_balloon/virtio*/features; do
  if [[ -r $features && $(cut -c6 "$features") == 1 ]]; then
    echo "note: this machine's balloon hands freed memory back to its host; runs that reuse it" \
      "are slower"
  fi
done
median() { sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
spread() {
  sort -g | awk '{a[NR] = $1} END {
    m = a[int((NR + 1) / 2)]; q = int((NR + 3) / 4)
    printf "%.0f/%.0f%%", 100 * (a[NR] - a[1]) / m, 100 * (a[NR + 1 - q] - a[q]) / m}'
}

printf "%-34s %9s %7s %9s %7s %14s %12s %8s %8s\n" command "median s" "min s" "floor s" ratio \
  "spread all/mid" "floor's" "peak MB" "host MB"
for command in "${commands[@]}"; do
  read -r -a args <<<"$command"
  "$tool" "${args[@]}" in.bmp out.bmp
  size=$(stat -c %s out.bmp)
  : >times
  : >floors
  before=$(reported_mb)
  for ((i = 0; i < runs; ++i)); do
    rm -f out.bmp floor.bmp
    start=$(now)
    "$tool" "${args[@]}" in.bmp out.bmp
    end=$(now)
    awk -v a="$end" -v b="$start" 'BEGIN {print a - b}' >>times
    start=$(now)
    cat in.bmp >/dev/null
    head -c "$size" /dev/zero >floor.bmp
    end=$(now)
    awk -v a="$end" -v b="$start" 'BEGIN {print a - b}' >>floors
  done
  handed=-
  [[ -n $before ]] && handed=$(($(reported_mb) - before))
  peak=$( { /usr/bin/time -f %M "$tool" "${args[@]}" in.bmp out.bmp; } 2>&1 | tail -1)
  t=$(median <times)
  f=$(median <floors)
  printf "%-34s %9.3f %7.3f %9.3f %7.1f %14s %12s %8.0f %8s\n" "$command" "$t" \
    "$(sort -g <times | head -1)" "$f" "$(awk -v t="$t" -v f="$f" 'BEGIN {print t / f}')" \
    "$(spread <times)" "$(spread <floors)" "$((peak / 1024))" "$handed"
done

# The file formats against the floor of the same library and against other tools, on the same
# files: a 4000 x 3000 photograph-like picture (ImageMagick's plasma, blurred) as a JPEG at quality
# 90, and the picture above as a PNG. Each tool does its closest equivalent at the same quality
# (JPEG: 90 with optimised Huffman tables; PNG: level 6 with the filters libpng picks, which is
# libvips' [filter=all]); `djpeg | cjpeg` is the same decode and encode with nothing in between.
# Tools that are not installed are left out (bench/setup.sh installs them).
echo
"$tool" invert in.bmp in.png
convert=/usr/bin/convert-im6.q16
if [[ -x $convert ]] && command -v cjpeg >/dev/null; then
  "$convert" -seed 1 -size 4000x3000 plasma: -blur 0x1 BMP3:photo.bmp
  cjpeg -quality 90 photo.bmp >photo.jpg
  "$tool" scale --width 50% photo.jpg half.bmp
fi
# peer NAME PROGRAM COMMAND: the median seconds, the peak memory and the output's size of the
# shell command COMMAND, which writes out.*; nothing when PROGRAM is not installed.
peer() {
  local name=$1 command=$3
  command -v "$2" >/dev/null || return 0
  : >times
  for ((i = 0; i < runs; ++i)); do
    rm -f out.*
    start=$(now)
    bash -c "$command"
    end=$(now)
    awk -v a="$end" -v b="$start" 'BEGIN {print a - b}' >>times
  done
  peak=$( { /usr/bin/time -f %M bash -c "$command"; } 2>&1 | tail -1)
  printf "  %-28s %9.3f %8.0f %11s\n" "$name" "$(median <times)" "$((peak / 1024))" \
    "$(stat -c %s out.* 2>/dev/null | head -1)"
}
printf "%-30s %9s %8s %11s\n" "case / tool" "median s" "peak MB" "out bytes"
if [[ -f photo.jpg ]]; then
  echo "JPEG invert"
  peer imagetool "$tool" "$tool invert photo.jpg out.jpg"
  peer "djpeg | cjpeg (floor)" djpeg "djpeg photo.jpg | cjpeg -quality 90 -optimize >out.jpg"
  peer vips vips "vips invert photo.jpg 'out.jpg[Q=90,optimize_coding]'"
  peer ImageMagick "$convert" "$convert photo.jpg -negate -quality 90 out.jpg"
  peer GraphicsMagick gm "gm convert photo.jpg -negate -quality 90 out.jpg"
  echo "JPEG scale --width 50%"
  peer imagetool "$tool" "$tool scale --width 50% photo.jpg out.jpg"
  peer "djpeg, cjpeg (floor)" djpeg \
    "djpeg photo.jpg >/dev/null && cjpeg -quality 90 -optimize half.bmp >out.jpg"
  peer vips vips "vips resize photo.jpg 'out.jpg[Q=90,optimize_coding]' 0.5"
  peer ImageMagick "$convert" "$convert photo.jpg -resize 50% -quality 90 out.jpg"
  peer GraphicsMagick gm "gm convert photo.jpg -resize 50% -quality 90 out.jpg"
fi
# Each PNG case: imagetool's command | libvips' (OUT for its output) | ImageMagick's and
# GraphicsMagick's. (The photograph as a PNG is left out: zlib takes over ten times as long on it.)
for op in "invert|invert in.png OUT|-negate" "rotate --angle 90|rot in.png OUT d90|-rotate 90"; do
  IFS='|' read -r ours vips theirs <<<"$op"
  echo "PNG $ours"
  peer imagetool "$tool" "$tool $ours in.png out.png"
  peer vips vips "vips ${vips/OUT/out.png[filter=all]}"
  peer "vips (unfiltered)" vips "vips ${vips/OUT/out.png}"
  peer ImageMagick "$convert" "$convert in.png $theirs out.png"
  peer GraphicsMagick gm "gm convert in.png $theirs out.png"
done
# Reading alone: the same PNG inverted into an uncompressed file, so that no compressor is timed.
# libvips writes its own raw format (it has no BMP writer of its own), the others a BMP.
echo "PNG invert to BMP (reading)"
peer imagetool "$tool" "$tool invert in.png out.bmp"
peer "vips (to .v)" vips "vips invert in.png out.v"
peer ImageMagick "$convert" "$convert in.png -negate BMP3:out.bmp"
peer GraphicsMagick gm "gm convert in.png -negate BMP3:out.bmp"

# Steps in one run: crop, scale to 50 % and frame the 4000 x 3000 picture, against the same three
# commands run one after another through BMP files, and against the floor of what the one run saves
# (writing and reading back the two files between the steps).
echo "three steps, one run against three"
steps=("crop --rect 500,500,3000,2000" "scale --width 50% --height 50%" "frame --margins 10,10,10,10")
# The files between are named after out.bmp, so that the size shown is the result's.
"$tool" ${steps[0]} in.bmp out.step1.bmp && "$tool" ${steps[1]} out.step1.bmp out.step2.bmp
write() { echo "dd if=/dev/zero of=$1 bs=4M count=$(stat -c %s "$1") iflag=count_bytes status=none"; }
saved="$(write out.step1.bmp) && cat out.step1.bmp >/dev/null && $(write out.step2.bmp) &&
  cat out.step2.bmp >/dev/null"
# The three take turns, run after run, so that a busy machine slows each of them alike; the one
# run's saving (the three runs' median less its own) is then set against the floor's median.
chain_names=("imagetool, one run" "imagetool, three runs" "the files between (floor)")
chain_runs=("$tool ${steps[0]} + ${steps[1]} + ${steps[2]} in.bmp out.bmp"
  "$tool ${steps[0]} in.bmp out.step1.bmp && $tool ${steps[1]} out.step1.bmp out.step2.bmp &&
  $tool ${steps[2]} out.step2.bmp out.bmp" "$saved")
for ((k = 0; k < 3; ++k)); do : >"times.$k"; done
for ((i = 0; i < runs; ++i)); do
  for ((k = 0; k < 3; ++k)); do
    rm -f out.*
    start=$(now)
    bash -c "${chain_runs[k]}"
    end=$(now)
    awk -v a="$end" -v b="$start" 'BEGIN {print a - b}' >>"times.$k"
  done
done
for ((k = 0; k < 3; ++k)); do
  rm -f out.*
  peak=$( { /usr/bin/time -f %M bash -c "${chain_runs[k]}"; } 2>&1 | tail -1)
  printf "  %-28s %9.3f %8.0f %11s\n" "${chain_names[k]}" "$(median <"times.$k")" \
    "$((peak / 1024))" "$(stat -c %s out.bmp 2>/dev/null || echo -)"
done
awk -v one="$(median <times.0)" -v three="$(median <times.1)" -v floor="$(median <times.2)" \
  'BEGIN {printf "  the one run saves %.3f s; the files between take %.3f s\n", three - one, floor}'

# Folders: 200 copies of a 1200 x 900 24-bit PNG (photograph-like: ImageMagick's plasma, blurred)
# scaled to 50 %, in files per second and the mean size of a result. The tools take turns, round
# after round, so that a busy machine slows each of them alike; each one's best round counts. Each
# makes its results in a folder of its own; vipsthumbnail writes unfiltered PNG files unless asked
# for filters. Beside the files per second, the processor time each file took (user and system,
# over every thread and process), which a busy machine hardly changes. "zlib alone" is the time
# zlib needs to deflate one result's filtered rows again at imagetool's level: the part of a
# file's time its compressor takes. It deflates them as imagetool and libpng do, with zlib's
# strategy for filtered rows (Z_FILTERED): on this picture that takes half as long again as the
# default strategy, for a file 8 % smaller.
[[ -x $convert ]] && "$convert" -seed 1 -size 1200x900 plasma: -blur 0x1 PNG24:one.png
# The processor seconds zlib takes to deflate the filtered rows of the PNG file $1 again at level 6.
zlib_alone() {
  python3 - "$1" <<'PY'
import struct, sys, time, zlib
data, at, idat = open(sys.argv[1], 'rb').read(), 8, b''
while at < len(data):
    n, kind = struct.unpack('>I4s', data[at:at + 8])
    idat += data[at + 8:at + 8 + n] if kind == b'IDAT' else b''
    at += 12 + n
rows, times = zlib.decompress(idat), []
for _ in range(5):
    start = time.process_time()
    coder = zlib.compressobj(6, zlib.DEFLATED, 15, 8, zlib.Z_FILTERED)
    coder.compress(rows) + coder.flush()
    times.append(time.process_time() - start)
print(min(times))
PY
}
if [[ -f one.png ]]; then
  mkdir -p many
  for ((i = 0; i < 200; ++i)); do cp one.png many/p$i.png; done
  half="scale --width 50% --height 50%"
  tools=() runs_of=()
  folder() { command -v "$2" >/dev/null && tools+=("$1") && runs_of+=("$3"); }
  folder "imagetool --out-dir" "$tool" "$tool --out-dir out.dir $half many/*.png"
  folder "imagetool --out-dir --jobs 1" "$tool" "$tool --out-dir out.dir --jobs 1 $half many/*.png"
  # The same run without writing PNG files, and without scaling either, to split its processor time
  # into reading, scaling and writing (each BMP file it writes instead costs a millisecond or so).
  folder "imagetool --jobs 1, flip to BMP" "$tool" \
    "$tool --out-dir out.dir --jobs 1 --format bmp flip many/*.png"
  folder "imagetool --jobs 1, scale to BMP" "$tool" \
    "$tool --out-dir out.dir --jobs 1 --format bmp $half many/*.png"
  folder "imagetool, a shell loop" "$tool" \
    "for f in many/*.png; do $tool $half \$f out.dir/\${f##*/}; done"
  folder "imagetool, xargs -P2" "$tool" \
    "ls many/*.png | xargs -P2 -I{} sh -c '$tool $half {} out.dir/\$(basename {})'"
  folder "vipsthumbnail" vipsthumbnail \
    "vipsthumbnail --size 600x450 -o '$PWD/out.dir/%s.png' many/*.png"
  folder "vipsthumbnail [filter=all]" vipsthumbnail \
    "vipsthumbnail --size 600x450 -o '$PWD/out.dir/%s.png[filter=all]' many/*.png"
  folder "gm mogrify" gm "cd many && gm mogrify -output-directory ../out.dir -resize 50% *.png"
  folder "ImageMagick mogrify" mogrify-im6.q16 "mogrify-im6.q16 -path out.dir -resize 50% many/*.png"
  best=() cpu=() sizes=()
  for ((round = 0; round < 2; ++round)); do
    for ((k = 0; k < ${#tools[@]}; ++k)); do
      rm -rf out.dir && mkdir out.dir
      read -r wall user system < <({ /usr/bin/time -f "%e %U %S" bash -c "${runs_of[k]}"; } 2>&1 |
        tail -1)
      best[k]=$(awk -v d="$wall" -v t="${best[k]:-}" 'BEGIN {print t == "" || d < t ? d : t}')
      cpu[k]=$(awk -v d="$user" -v s="$system" -v t="${cpu[k]:-}" \
        'BEGIN {d = (d + s) / 200; print t == "" || d < t ? d : t}')
      sizes[k]=$(($(du -sb out.dir | cut -f1) / 200))
    done
  done
  echo
  printf "%-36s %8s %12s %11s\n" "200 files, scale to 50 %" "files/s" "CPU s/file" "out bytes"
  for ((k = 0; k < ${#tools[@]}; ++k)); do
    printf "  %-34s %8.1f %12.3f %11s\n" "${tools[k]}" \
      "$(awk -v t="${best[k]}" 'BEGIN {print 200 / t}')" "${cpu[k]}" "${sizes[k]}"
  done
  "$tool" $half one.png half.png
  zlib=$(zlib_alone half.png)
  printf "  %-34s %8.1f %12.3f %11s\n" "zlib alone, one core" \
    "$(awk -v t="$zlib" 'BEGIN {print 1 / t}')" "$zlib" "-"
  # Rows 1, 2 and 3 are the PNG run, the flip and the scale to BMP, all with --jobs 1.
  awk -v png="${cpu[1]}" -v flip="${cpu[2]}" -v scale="${cpu[3]}" -v zlib="$zlib" 'BEGIN {
    printf "imagetool, processor s a file: read %.3f, scale %.3f, write %.3f (zlib alone %.3f)\n",
      flip, scale - flip, png - scale, zlib}'
fi
