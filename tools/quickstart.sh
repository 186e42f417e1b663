#!/usr/bin/env bash
# The first run: installs what is missing, builds, makes a sample firmware
# image and judges it the way the tool does before a download.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target zarnet-cli
cli=build/default/tools/zarnet-cli
sample=build/default/sample.bin
"$cli" make-sample "$sample"
"$cli" inspect "$sample"
