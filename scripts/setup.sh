#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need. Only what is missing is
# installed, so a second run takes a second.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang clang-format-14 pkg-config
  googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 fonts-wine xvfb xauth
  imagemagick libvips-tools
  libfreetype-dev libfontconfig-dev libpng-dev libjpeg62-turbo-dev fonts-dejavu-core
  libjpeg-turbo-progs pngcheck
  python3 time
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
