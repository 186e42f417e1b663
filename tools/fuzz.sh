#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`), makes their seed corpora from
# the sample images and runs each target for SECONDS (default 60). The
# corpora grow in build/fuzz/corpus/ and are kept between runs; a crash
# leaves its input in build/fuzz/artifacts/ and ends the script with a failure.
#
#   tools/fuzz.sh          # one minute each, as CI runs it
#   tools/fuzz.sh 3600     # an hour each
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build/fuzz
# Two cores are shared with other builds: at most two jobs.
jobs=$(nproc 2>/dev/null || echo 2)
if [ "$jobs" -gt 2 ]; then jobs=2; fi

tools/install-deps.sh
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz -j "$jobs"

seeds=$build/seeds
rm -rf "$seeds"
"$build/fuzz/zarnet-fuzz-seeds" "$seeds"
mkdir -p "$build/artifacts"

# target, seed folder, longest input
targets=(
  "fuzz_acceptance acceptance 70000"
  "fuzz_table_walk table 70000"
  "fuzz_create_descriptor record 9000"
)
for entry in "${targets[@]}"; do
  read -r target seedDir maxLen <<< "$entry"
  corpus=$build/corpus/$target
  mkdir -p "$corpus"
  echo "== $target: ${seconds} s"
  log=$build/$target.log
  status=0
  ASAN_OPTIONS="abort_on_error=1:detect_leaks=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$build/fuzz/$target" -max_total_time="$seconds" -max_len="$maxLen" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$corpus" "$seeds/$seedDir" > "$log" 2>&1 ||
    status=$?
  grep -E "^(INFO: seed corpus|#[0-9]+ +DONE|stat::(number_of_executed_units|new_units_added|peak_rss_mb))" "$log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "$target failed (status $status); the input is in $build/artifacts/, the log in $log"
    exit 1
  fi
done
echo "fuzz: every target ran ${seconds} s without a finding"
