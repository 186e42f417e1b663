#!/usr/bin/env bash
# Installs what building and testing Zarnet needs on Debian 12, when missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev python3 qt6-base-dev libudev-dev umockdev libumockdev-dev xvfb xauth libgl-dev fonts-dejavu-core
  clang-format clang-tidy gcovr g++-mingw-w64-i686-posix clang-14 libclang-rt-14-dev
  dpkg-dev groff-base desktop-file-utils
  googletest wine wine32:i386)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
# wine32 runs the 32-bit Windows build; it comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
