#!/usr/bin/env bash
# Installs what Zarnet needs on Debian 12, when missing:
#   tools/install-deps.sh run    what building the programs and running them needs
#   tools/install-deps.sh [test] that and everything testing needs (the default)
set -euo pipefail

set_name=${1:-test}
# GoogleTest belongs to building too: configuring the default build fails
# without it.
run_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libudev-dev libgl-dev fonts-dejavu-core
  libgtest-dev libgmock-dev)
test_packages=(libbenchmark-dev python3 umockdev libumockdev-dev xvfb xauth
  clang-format clang-tidy gcovr g++-mingw-w64-i686-posix clang-14 libclang-rt-14-dev
  dpkg-dev groff-base desktop-file-utils
  googletest wine wine32:i386)

case "$set_name" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: tools/install-deps.sh [run|test]" >&2
    exit 2
    ;;
esac

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
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
