#!/usr/bin/env bash
# Condition file of 10,000 items. The console opens the file, stores every item and writes
# it back, against `xmllint --format` on the same file (target: within 3x); it also opens
# the file and reads every item, shown beside `xmllint --noout`.
set -euo pipefail
build=${1:?usage: conditions.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/condition_bench"
items=10000
out="$here/out/conditions"
rm -rf "$out"
mkdir -p "$out/app"
cp -r "$here/../sample/xml" "$out/app/"
master="$out/Condition.master.xml"
target="$out/app/xml/operation/Condition.xml"
"$bench" generate "$master" "$items"

# best <label> <command...>: seconds and peak KB of the fastest of three runs.
best() {
  local label=$1; shift
  local lines=()
  for round in 1 2 3; do
    cp "$master" "$target"
    /usr/bin/time -f "%e %M" -o "$out/time" "$@" >"$out/$label.out"
    lines+=("$(cat "$out/time")")
  done
  printf '%s\n' "${lines[@]}" | sort -n | head -1
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b < 0.01) b = 0.01; printf "%.2f", a / b }'; }

read -r store_s store_kb < <(best store "$bench" run "$out/app" "$items")
"$bench" verify "$out/app" "$items"
read -r format_s format_kb < <(best format xmllint --format "$master")
read -r read_s read_kb < <(best read "$bench" read "$out/app" "$items")
read -r noout_s noout_kb < <(best noout xmllint --noout "$master")

store_ratio=$(ratio "$store_s" "$format_s")
echo "condition file: $items items, $(stat -c %s "$master") bytes (best of 3 runs each)"
echo "console open + store every item + write: ${store_s} s, ${store_kb} KB peak"
echo "xmllint --format:                        ${format_s} s, ${format_kb} KB peak"
echo "ratio: ${store_ratio} (target <= 3)"
echo "console open + read every item:          ${read_s} s, ${read_kb} KB peak"
echo "xmllint --noout:                         ${noout_s} s, ${noout_kb} KB peak"
echo "ratio: $(ratio "$read_s" "$noout_s")"
awk -v r="$store_ratio" 'BEGIN { exit !(r <= 3) }' || { echo "target missed"; exit 1; }
