#!/usr/bin/env bash
# Builds a libFuzzer target with clang and fuzzes it for SECONDS (default 20): the metafile player
# (default) or imagetool's BMP reader. New inputs collect in build/fuzz-clang/<target>-corpus; a
# crash leaves its input in the current folder as crash-*, to be added to fuzz/corpus/<target> once
# fixed.
#
# usage: fuzz/run.sh [metafile|bmp] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
target=metafile
case "${1:-}" in metafile|bmp) target="$1"; shift ;; esac
seconds="${1:-20}"
out=build/fuzz-clang
mkdir -p "$out/$target-corpus"
flags=(-std=c++20 -g -O1 -Wall -Wextra -Werror -fsanitize=fuzzer,address,undefined -I.)
if [ "$target" = metafile ]; then
  clang++ "${flags[@]}" fuzz/metafile_fuzz.cpp mask/metafile.cpp -o "$out/metafile_fuzz"
  seeds=(resources/masks fuzz/corpus/metafile)
else
  clang++ "${flags[@]}" fuzz/bmp_fuzz.cpp cli/bmp_io.cpp dib/dib.cpp resources/text_table.cpp \
    tests/support/recorder.cpp -o "$out/bmp_fuzz"
  seeds=(fuzz/corpus/bmp)
fi
exec "$out/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 "$out/$target-corpus" "${seeds[@]}"
