#!/usr/bin/env bash
# Result document of 100,000 records turned into the run report, against
# `xmllint --noout` parsing the same file. Target: within 3x.
set -euo pipefail
build=${1:?usage: result_report.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/report_bench"
items=100000
out="$here/out/report"
rm -rf "$out"
mkdir -p "$out"
file="$out/result.xml"
"$bench" generate "$file" "$items"

best() { sort -n | head -1; }
ours_s=() ours_kb=() lint_s=() lint_kb=()
for round in 1 2 3; do
  /usr/bin/time -f "%e %M" -o "$out/ours.time" "$bench" run "$file"
  read -r s kb <"$out/ours.time"; ours_s+=("$s"); ours_kb+=("$kb")
  /usr/bin/time -f "%e %M" -o "$out/lint.time" xmllint --noout "$file"
  read -r s kb <"$out/lint.time"; lint_s+=("$s"); lint_kb+=("$kb")
done

ours=$(printf '%s\n' "${ours_s[@]}" | best)
lint=$(printf '%s\n' "${lint_s[@]}" | best)
ours_mem=$(printf '%s\n' "${ours_kb[@]}" | best)
lint_mem=$(printf '%s\n' "${lint_kb[@]}" | best)
ratio=$(awk -v a="$ours" -v b="$lint" 'BEGIN { if (b < 0.01) b = 0.01; printf "%.2f", a / b }')
echo "result document: $items records, $(stat -c %s "$file") bytes"
echo "console (load, report): ${ours} s, ${ours_mem} KB peak (best of 3)"
echo "xmllint --noout:        ${lint} s, ${lint_mem} KB peak (best of 3)"
echo "ratio: ${ratio} (target <= 3)"
awk -v r="$ratio" 'BEGIN { exit !(r <= 3) }' || { echo "target missed"; exit 1; }
