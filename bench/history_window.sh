#!/usr/bin/env bash
# The run history window on a history of 100,000 runs: opening, scrolling, filtering by item,
# registration code, outcome and days, and clearing the filters. Each step is timed until the
# window has been painted. Target: every step within 100 ms, so the window never freezes.
set -euo pipefail
build=${1:?usage: history_window.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
runs=100000
out="$here/out/history_window"
rm -rf "$out"
mkdir -p "$out"
"$build/bench/history_bench" "$out" "$runs" >"$out/steps" 2>"$out/stderr"
echo "run history of $runs runs, $(stat -c %s "$out/KVXRunHistory.db") bytes; each step in ms, lines read:"
sed 's/^/  /' "$out/steps"
slowest=$(sort -n "$out/steps" | tail -1)
echo "slowest step: $slowest (target <= 100 ms)"
[ "$(wc -l <"$out/steps")" -ge 10 ] || { echo "the window did not go through every step"; exit 1; }
[ "${slowest%% *}" -le 100 ] || { echo "history window target missed"; exit 1; }
