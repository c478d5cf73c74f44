#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Nembra need. Safe to run again:
# only missing packages are installed.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgl-dev libglx-dev libgl1-mesa-dri libglu1-mesa-dev
  libx11-dev libxext-dev libxcursor-dev libxfixes-dev libxrender-dev libxft-dev libxtst-dev
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libgtest-dev libbenchmark-dev
  xvfb xauth openbox clang-format
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
