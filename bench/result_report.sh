#!/usr/bin/env bash
# Result document of 100,000 records turned into the run report, against
# `xmllint --noout` parsing the same file. Target: within 1.2x.
set -euo pipefail
build=${1:?usage: result_report.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/timing.bash"
bench="$build/bench/report_bench"
items=100000
out="$here/out/report"
rm -rf "$out"
mkdir -p "$out"
file="$out/result.xml"
"$bench" generate "$file" "$items"

read -r ours_s ours_kb < <(best "$out/report.txt" "$bench" run "$file")
read -r lint_s lint_kb < <(best /dev/null xmllint --noout "$file")
ours_ratio=$(ratio "$ours_s" "$lint_s")
echo "result document: $items records, $(stat -c %s "$file") bytes (best of 3 runs each)"
echo "console load + report: ${ours_s} s, ${ours_kb} KB peak"
echo "xmllint --noout:       ${lint_s} s, ${lint_kb} KB peak"
echo "ratio: ${ours_ratio} (target <= 1.2)"
within "$ours_ratio" 1.2 || { echo "target missed"; exit 1; }
