#!/usr/bin/env bash
# Builds the metafile player's libFuzzer target with clang and fuzzes it for SECONDS (default 20).
# New inputs collect in build/fuzz-clang/metafile-corpus; a crash leaves its input in the current
# folder as crash-*, to be added to fuzz/corpus/metafile once fixed.
#
# usage: fuzz/run.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"
out=build/fuzz-clang
mkdir -p "$out/metafile-corpus"
clang++ -std=c++20 -g -O1 -Wall -Wextra -Werror -fsanitize=fuzzer,address,undefined -I. \
  fuzz/metafile_fuzz.cpp mask/metafile.cpp -o "$out/metafile_fuzz"
exec "$out/metafile_fuzz" -max_total_time="$seconds" -rss_limit_mb=2048 \
  "$out/metafile-corpus" resources/masks fuzz/corpus/metafile
