#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need. Only what is missing is
# installed, so a second run takes a second.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format-14 pkg-config
  googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 fonts-wine xvfb xauth
  xdotool
  imagemagick libvips-tools
  libfreetype-dev libfontconfig-dev libpng-dev libdeflate-dev libjpeg62-turbo-dev fonts-dejavu-core
  libjpeg-turbo-progs pngcheck
  python3 time
)
# 32-bit Wine runs the tests of the 32-bit build, the one we ship. The i386 package index of a
# mirror has been broken before, so it is installed on its own: without it everything else still
# builds and runs, and the reason is left in this file for scripts/test.sh to report.
wine32=wine32:i386
wine32_note="$(cd "$(dirname "$0")/.." && pwd)/build/wine32-missing"

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if installed "$wine32"; then
  rm -f "$wine32_note"
  [ ${#missing[@]} -eq 0 ] && exit 0
fi

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! installed "$wine32" && ! grep -qx i386 <<<"$(dpkg --print-foreign-architectures)"; then
  $sudo dpkg --add-architecture i386 >"$log" 2>&1 || true
fi
# A broken i386 index fails the update but leaves the others read: the installs below tell.
$sudo apt-get update -qq >>"$log" 2>&1 || true
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! installed "$wine32"; then
  echo "setup: installing $wine32" >&2
  if $sudo apt-get install -y -qq --no-install-recommends "$wine32" >>"$log" 2>&1; then
    rm -f "$wine32_note"
  else
    reason=$(grep -m1 '^E:' "$log" || tail -n1 "$log")
    mkdir -p "$(dirname "$wine32_note")"
    printf '%s\n' "${reason:-apt-get install $wine32 failed}" >"$wine32_note"
    echo "setup: 32-bit Wine is not installed, the win32 tests will not run: $(cat "$wine32_note")" >&2
  fi
fi
