#!/usr/bin/env bash
# Line and branch coverage of the logic under src/ (front ends left out), per
# folder, from a separate gcc build with --coverage that runs the test suites.
#
#   tools/coverage.sh            configure, build, run the tests, report
#   BUILD_DIR=... JOBS=1 tools/coverage.sh
#
# Needs gcovr (tools/install-deps.sh). Branches of exception paths and of code
# the compiler knows unreachable are not counted.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build/coverage}"
jobs="${JOBS:-2}"

command -v gcovr >/dev/null || { echo "gcovr is missing: run tools/install-deps.sh" >&2; exit 1; }
# A mutation run changes sources under the build's feet; its backups show it.
if [ -n "$(find "$root/build/mutate/mutant-backup" -type f 2>/dev/null)" ]; then
  echo "tools/mutate.py is running (or was killed: run it again to restore the sources)" >&2
  exit 1
fi

# Debug without optimisation, so that lines and branches map onto the source.
nice -n 10 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=g++ -DCMAKE_CXX_FLAGS="--coverage" -DCMAKE_EXE_LINKER_FLAGS="--coverage" \
  -DZARNET_WARNINGS_AS_ERRORS=ON -DZARNET_BUILD_BENCH=OFF >/dev/null
# Only what the measured suites need; the Qt window is not built.
targets=(firmware_tests download_tests platform_tests device_tests app_tests cli_tests zarnet-cli)
grep -q '^build tests/linux_tests:' "$build/build.ninja" && targets+=(linux_tests)
nice -n 10 cmake --build "$build" -j "$jobs" --target "${targets[@]}"

# Counters of an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete
# The Qt window's suites and the umockdev-emulated cameras exercise front ends
# and the udev side of the Linux backend, which are not measured here.
(cd "$build" && nice -n 10 ctest -j "$jobs" --output-on-failure -L '^(firmware|download|platform|device|linux|app|cli)$') || \
  echo "some tests failed: the coverage below is of a failing run" >&2

# gcov runs once over every counter; the folders are then cut from its result.
cd "$root"
trace="$build/coverage.json"
gcovr --root "$root" --object-directory "$build" --filter 'src/' --exclude 'src/frontends/' \
  --exclude-throw-branches --exclude-unreachable-branches --json "$trace" 2>/dev/null

report() {
  echo "== $1"
  gcovr --add-tracefile "$trace" --root "$root" --filter "$2" --print-summary 2>&1 | grep -E '^(lines|branches):'
}

for folder in device download ui firmware platform; do
  report "src/$folder" "src/$folder/"
done
report "src/ outside src/frontends/" 'src/'
