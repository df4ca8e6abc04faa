#!/usr/bin/env bash
# Checks the formatting, builds all presets and runs every test: the portable kernels' engine
# tests, native under the sanitizers, Windows under Wine and Xvfb, and the checks of the 32-bit
# product build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
status=0
scripts/check-format.sh || status=1
scripts/build.sh portable native release win64 win32

echo "== test portable (the portable kernels alone, as on a processor without SSE2)" >&2
ctest --preset portable -j2 || status=1

echo "== test native" >&2
ctest --preset native -j2 || status=1

echo "== test release (-O3, the vector kernels that ship)" >&2
ctest --preset release -j2 || status=1

echo "== test win64 (Wine)" >&2
export WINEDEBUG=-all WINEPREFIX="$PWD/build/win64/wineprefix"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win64 -j2 || status=1
wineserver -k >/dev/null 2>&1 || true

echo "== test win32 (tables)" >&2
ctest --preset win32 --no-tests=ignore || status=1

exit $status
