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
# A mirror caught mid-sync fails an index now and then; try again a little
# later, and go on with the lists there are: the install below still fails
# when a package it needs can't be had.
for attempt in 1 2 3; do
  if $sudo apt-get update; then break; fi
  echo "apt-get update failed (attempt $attempt); retrying" >&2
  sleep $((attempt * 10))
done
# wine comes last and on its own: the i386 lists of a mirror in mid-sync can
# leave it uninstallable for a while, and the 32-bit Windows suites are then
# built but not run (tools/test.sh says so), while the rest still installs.
others=()
winepkgs=()
for p in "${missing[@]}"; do
  case "$p" in wine | wine32:i386) winepkgs+=("$p") ;; *) others+=("$p") ;; esac
done
if [ ${#others[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${others[@]}"
fi
if [ ${#winepkgs[@]} -gt 0 ] &&
  ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${winepkgs[@]}"; then
  echo "install-deps: wine could not be installed now; the 32-bit Windows suites will be built but not run" >&2
fi
