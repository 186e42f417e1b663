#!/usr/bin/env bash
# Every header under src/ must build for the Windows target next to
# <windows.h>, the way a Win32 backend will include both. Two checks per
# header:
#  1. it compiles on its own after <windows.h> (NOMINMAX set), warnings as
#     errors;
#  2. none of its identifiers is a macro of <windows.h> (MessageBox,
#     PostThreadMessage, GetObject, ERROR, interface, ...): such a name is
#     rewritten in the translation units that include <windows.h> and not in
#     the others, which compiles and then fails to link or overrides nothing.
# min and max are not checked: the Windows build defines NOMINMAX for every
# translation unit (top-level CMakeLists.txt).
# Left out, with the reason:
#  - src/frontends/qt/: needs Qt's headers, which the cross compiler lacks;
#    the Qt window is not the Windows build's front end.
#  - src/platform/linux/Udev*: needs libudev, a Linux library.
# Usage: tools/check-windows-headers.sh   (CXX_WINDOWS and JOBS override the
# compiler and the parallelism). Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

CXX_WINDOWS=${CXX_WINDOWS:-i686-w64-mingw32-g++-posix}
JOBS=${JOBS:-2}
FLAGS="-std=c++20 -Wall -Wextra -Werror -Isrc"

if ! command -v "$CXX_WINDOWS" >/dev/null; then
  echo "check-windows-headers: $CXX_WINDOWS not found (tools/install-deps.sh installs it)" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The version header is written when a build is configured; any version does
# for compiling.
sed 's/@PROJECT_VERSION@/0/' src/Version.h.in >"$work/Version.h"
FLAGS="$FLAGS -I$work"

# <windows.h> once, precompiled: every header's check starts from it.
printf '#define NOMINMAX\n#include <windows.h>\n' >"$work/windows-first.h"
"$CXX_WINDOWS" $FLAGS -x c++-header "$work/windows-first.h" -o "$work/windows-first.h.gch"

# The macros <windows.h> adds to those of the standard library and the
# compiler.
macro_names() { "$CXX_WINDOWS" -std=c++20 -dM -E -x c++ - | awk '{ sub(/\(.*/, "", $2); print $2 }' | sort -u; }
printf '#define NOMINMAX\n#include <windows.h>\n' | macro_names >"$work/windows-macros"
printf '#include <bits/stdc++.h>\n' | macro_names >"$work/standard-macros"
comm -23 "$work/windows-macros" "$work/standard-macros" >"$work/forbidden"

check_one() {
  local header=$1 work=$2 log
  log=$(mktemp "$work/log.XXXXXX")
  # 1. On its own after <windows.h>.
  if ! printf '#include "windows-first.h"\n#include "%s"\n' "${header#src/}" |
      "$CXX_WINDOWS" $FLAGS -I"$work" -fsyntax-only -x c++ - >"$log" 2>&1; then
    echo "FAIL $header: does not compile after <windows.h>"
    sed 's/^/    /' "$log"
    return 1
  fi
  # 2. Its identifiers, comments and literals left out, against the macros.
  local clashes
  clashes=$("$CXX_WINDOWS" -std=c++20 -fpreprocessed -dD -E -P -x c++ "$header" 2>/dev/null |
    sed -E "s/\"([^\"\\\\]|\\\\.)*\"//g; s/'([^'\\\\]|\\\\.)*'//g" |
    grep -oE '[A-Za-z_][A-Za-z0-9_]*' | sort -u | comm -12 - "$work/forbidden" | paste -sd' ')
  if [[ -n "$clashes" ]]; then
    echo "FAIL $header: names that <windows.h> defines as macros: $clashes"
    return 1
  fi
}
export -f check_one
export CXX_WINDOWS FLAGS

headers=$(find src -name '*.h' ! -path 'src/frontends/qt/*' ! -path 'src/platform/linux/Udev*' | sort)
count=$(wc -l <<<"$headers")
# Each job prints its own verdict; a failure of any makes xargs fail.
if xargs -P "$JOBS" -I{} bash -c 'check_one "$1" "$2"' _ {} "$work" <<<"$headers"; then
  echo "check-windows-headers: $count headers build next to <windows.h>"
else
  echo "check-windows-headers: failures above" >&2
  exit 1
fi
