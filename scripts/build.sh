#!/usr/bin/env bash
# Configures and builds the given presets (default: all four).
set -euo pipefail
cd "$(dirname "$0")/.."
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(native release win64 win32)
for preset in "${presets[@]}"; do
  echo "== build $preset" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
