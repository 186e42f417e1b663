#!/bin/sh
# How the time of flash --all grows with the cameras of a line: the
# simulated line with its USB timing model (real time, no --fast) flashes 1,
# 2 and 4 cameras, each by a copy of zarnet-cli of its own. The copies mostly
# wait for the modelled transfers, so four should take at most about 1.3
# times one.
#
#   bench/line-timing.sh [path/to/zarnet-cli]   (default: build/default's)
#
# Not a test: it takes wall-clock time and depends on the machine's load.
set -eu

cli=${1:-build/default/src/frontends/zarnet-cli}
[ -x "$cli" ] || { echo "no zarnet-cli at $cli (build first, or name it)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cli" make-sample "$work/image.bin" >/dev/null

seconds() {
  start=$(date +%s.%N)
  "$cli" flash --all --simulate --cameras "$1" -y "$work/image.bin" >"$work/out.txt" 2>"$work/err.txt" || {
    echo "flash --all with $1 cameras failed:" >&2
    cat "$work/out.txt" >&2
    exit 1
  }
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.2f", $2 - $1 }'
}

one=$(seconds 1)
printf '%-8s %8s %6s\n' cameras seconds ratio
printf '%-8s %8s %6s\n' 1 "$one" 1.00
for n in 2 4; do
  t=$(seconds "$n")
  printf '%-8s %8s %6s\n' "$n" "$t" "$(echo "$t $one" | awk '{ printf "%.2f", $1 / $2 }')"
done
