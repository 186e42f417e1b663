#!/usr/bin/env bash
# The Debian package from the default build tree: it installs, its programs
# tell their version (the window's without a display), its manual pages,
# desktop entry, icon, bash completion, udev rule and copyright notice land
# where they belong, and removing it takes every file away again. Installs
# into this machine's /usr: meant for CI and throw-away machines (root, or
# sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/default
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
package="$PWD/$build/zarnet_${version}_${arch}.deb"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

if dpkg-query -W -f='${Status}' zarnet 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: a zarnet package is installed on this machine already; remove it first (dpkg -r zarnet)" >&2
  exit 1
fi

cmake --build "$build" -j 2
rm -f "$package"
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }

expected=(
  /usr/bin/zarnet
  /usr/bin/zarnet-cli
  /usr/bin/zarnet-demo-window
  /usr/lib/udev/rules.d/70-zarnet-uvc-camera.rules
  /usr/share/applications/zarnet.desktop
  /usr/share/icons/hicolor/scalable/apps/zarnet.svg
  /usr/share/man/man1/zarnet.1
  /usr/share/man/man1/zarnet-cli.1
  /usr/share/man/man1/zarnet-demo-window.1
  /usr/share/bash-completion/completions/zarnet-cli
  /usr/share/doc/zarnet/copyright
)

failures=0
fail() {
  echo "check-package: $*" >&2
  failures=$((failures + 1))
}

# The package holds these files and nothing else.
listed=$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
[ "$listed" = "$wanted" ] || fail "the package holds other files than expected:
$(diff <(echo "$wanted") <(echo "$listed") || true)"

installed=0
remove() {
  if [ "$installed" -eq 1 ]; then $sudo dpkg -r zarnet > /dev/null; fi
  # No trace in dpkg's database either.
  $sudo dpkg --purge zarnet > /dev/null 2>&1 || true
}
trap remove EXIT

$sudo dpkg -i "$package" > /dev/null
installed=1

for file in "${expected[@]}"; do
  [ -f "$file" ] || fail "$file is missing after dpkg -i"
done
out=$(/usr/bin/zarnet-cli --version) || fail "zarnet-cli --version failed"
[[ "$out" == *"$version"* ]] || fail "zarnet-cli --version says '$out', not $version"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/zarnet --version) ||
  fail "zarnet --version failed without a display"
[ "$out" = "zarnet $version" ] || fail "zarnet --version says '$out', not 'zarnet $version'"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate /usr/share/applications/zarnet.desktop || fail "the desktop entry does not validate"
fi
for page in zarnet zarnet-cli zarnet-demo-window; do
  warnings=$(groff -man -ww -z -Tutf8 "/usr/share/man/man1/$page.1" 2>&1) || true
  [ -z "$warnings" ] || fail "the manual page $page.1 does not format cleanly: $warnings"
done
bash -n /usr/share/bash-completion/completions/zarnet-cli || fail "the bash completion does not parse"

$sudo dpkg -r zarnet > /dev/null
installed=0
for file in "${expected[@]}"; do
  [ ! -e "$file" ] || fail "$file is still there after dpkg -r"
done

if [ "$failures" -ne 0 ]; then
  echo "check-package: $failures failed" >&2
  exit 1
fi
echo "check-package: $package installs, runs and removes cleanly"
