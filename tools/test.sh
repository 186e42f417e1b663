#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, in each preset named
# (default: the normal build, the sanitizer build and the thread-sanitizer
# build of the suites where threads meet).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then presets=(default sanitize thread); fi
jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  echo "== preset: $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
