#!/usr/bin/env bash
# Builds a libFuzzer target with clang (the CMake target of the same name, in build/fuzz-clang) and
# fuzzes it for SECONDS (default 20): the metafile player (default) or imagetool's BMP, PNG or
# JPEG reader. New inputs collect in build/fuzz-clang/<target>-corpus; a crash leaves its input in
# the current folder as crash-*, to be added to fuzz/corpus/<target> once fixed.
#
# usage: fuzz/run.sh [metafile|bmp|png|jpeg] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
target=metafile
case "${1:-}" in metafile|bmp|png|jpeg) target="$1"; shift ;; esac
seconds="${1:-20}"
out=build/fuzz-clang
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
  -DCMAKE_CXX_COMPILER=clang++ -DIMAGE_FUZZ=ON >/dev/null
cmake --build "$out" --target "${target}_fuzz"
seeds=(fuzz/corpus/$target)
[ "$target" = metafile ] && seeds=(resources/masks fuzz/corpus/metafile)
mkdir -p "$out/$target-corpus"
exec "$out/fuzz/${target}_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
  "$out/$target-corpus" "${seeds[@]}"
