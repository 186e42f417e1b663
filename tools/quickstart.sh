#!/usr/bin/env bash
# The first run: installs what building and running need (not the test
# tools), builds the programs, makes a sample firmware image and flashes it
# into the substitute camera, in real time, the way the window would.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh run
cmake --preset default >/dev/null
# Every program the install step copies, so that `cmake --install` works
# next; the test suites are left to tools/test.sh.
cmake --build --preset default -j "$(nproc 2>/dev/null || echo 2)" --target zarnet-cli zarnet zarnet-demo-window
cli=build/default/src/frontends/zarnet-cli
sample=build/default/sample.bin
"$cli" make-sample --force "$sample"
"$cli" flash --simulate "$sample"
