#!/usr/bin/env bash
# The first run: installs what is missing, builds, makes a sample firmware
# image and flashes it into the substitute camera, in real time, the way the
# window would.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target zarnet-cli
cli=build/default/src/frontends/zarnet-cli
sample=build/default/sample.bin
"$cli" make-sample --force "$sample"
"$cli" flash --simulate "$sample"
