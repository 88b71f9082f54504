#!/usr/bin/env bash
# Condition file of 10,000 items. The console opens the file, stores every item and writes
# it back, against `xmllint --format` on the same file (target: within 1.5x); it also opens
# the file and reads every item, shown beside `xmllint --noout`.
set -euo pipefail
build=${1:?usage: conditions.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/timing.bash"
bench="$build/bench/condition_bench"
items=10000
out="$here/out/conditions"
rm -rf "$out"
mkdir -p "$out/app"
cp -r "$here/../sample/xml" "$out/app/"
master="$out/Condition.master.xml"
"$bench" generate "$master" "$items"
prepare() { cp "$master" "$out/app/xml/operation/Condition.xml"; }

read -r store_s store_kb < <(best "$out/store.txt" "$bench" run "$out/app" "$items")
"$bench" verify "$out/app" "$items"
read -r format_s format_kb < <(best "$out/formatted.xml" xmllint --format "$master")
read -r read_s read_kb < <(best "$out/read.txt" "$bench" read "$out/app" "$items")
read -r noout_s noout_kb < <(best /dev/null xmllint --noout "$master")

store_ratio=$(ratio "$store_s" "$format_s")
echo "condition file: $items items, $(stat -c %s "$master") bytes (best of 3 runs each)"
echo "console open + store every item + write: ${store_s} s, ${store_kb} KB peak"
echo "xmllint --format:                        ${format_s} s, ${format_kb} KB peak"
echo "ratio: ${store_ratio} (target <= 1.5)"
echo "console open + read every item:          ${read_s} s, ${read_kb} KB peak"
echo "xmllint --noout:                         ${noout_s} s, ${noout_kb} KB peak"
echo "ratio: $(ratio "$read_s" "$noout_s")"
within "$store_ratio" 1.5 || { echo "target missed"; exit 1; }
