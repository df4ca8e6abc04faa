#!/usr/bin/env bash
# The main job: builds imagetool (optimised) and runs it on its built-in sample, which writes every
# command's result at every depth into ./imagetool-sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target imagetool
# Without arguments, the sample.
[ $# -eq 0 ] && set -- sample
build/release/cli/imagetool "$@"
