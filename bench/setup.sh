#!/usr/bin/env bash
# Installs the tools bench/whole_process.sh compares imagetool with, beyond those the tests use
# (scripts/setup.sh): GraphicsMagick. Only what is missing is installed.
set -euo pipefail
"$(dirname "$0")/../scripts/setup.sh"
dpkg-query -W -f='${Status}' graphicsmagick 2>/dev/null | grep -q 'install ok installed' && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends graphicsmagick >/dev/null
