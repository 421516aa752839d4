#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian 12 packages the project needs. Safe to run again: it
# installs only what is missing.
#   scripts/setup.sh          what building and running the programs need
#   scripts/setup.sh --test   that, and the test, fuzzing, packaging and screenshot tools
#   scripts/setup.sh --list [--test]   print the package names and install nothing
set -euo pipefail

# Building both programs and running them.
build_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libcli11-dev
  libsndfile1-dev libxmp-dev nlohmann-json3-dev libssl-dev libblkid-dev
  # Qt finds its X11 platform plugin here; without it the window cannot start.
  qt6-qpa-plugins
  # The window's faces: "MS Sans Serif", a Times-like serif, and a fallback.
  fonts-wine fonts-liberation fonts-dejavu-core
)
# The test suite (a FAT image through FUSE for letter-case folding, used as
# root), benchmarks, fuzzing, screenshots under Xvfb, and the Debian
# packages with their checks.
test_packages=(
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick openbox x11-utils
  dpkg-dev fakeroot lintian desktop-file-utils appstream
  python3 time
  dosfstools fusefat
)

packages=("${build_packages[@]}")
list=false
for arg in "$@"; do
  case "$arg" in
    --test) packages+=("${test_packages[@]}") ;;
    --list) list=true ;;
    *) echo "usage: scripts/setup.sh [--test] [--list]" >&2; exit 2 ;;
  esac
done
if $list; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=sudo
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
