#!/usr/bin/env bash
# Import run of one interface document of 100,000 customers (about 50 MB) against a local
# stand-in exchange server that answers a result document of 100,000 items. The console's
# whole run (load, checks, completion, post, answer, Kvxtemp.xml, report) is timed against a
# baseline of public tools on the same files: `xmllint --format` of the document, `curl`
# posting it to the same server and `xmllint --format` of the answer. Targets: within 1.5x
# the baseline's time, peak memory within 2x that of `xmllint --noout` on the document. Then
# a report of 100,000 lines is shown in the display window, which must not freeze.
set -euo pipefail
build=${1:?usage: import_run.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/timing.bash"
bench="$build/bench/import_bench"
records=100000
out="$here/out/import_run"
rm -rf "$out"
mkdir -p "$out/app"
cp -r "$here/../sample/xml" "$out/app/"
"$bench" generate "$out" "$records"

"$bench" serve "$out/answer.xml" >"$out/port" &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q '^port ' "$out/port" && break
  sleep 0.1
done
url="http://127.0.0.1:$(awk '/^port/ { print $2 }' "$out/port")/"
"$bench" prepare "$out/app" "$out/document.xml" "$url"

read -r run_s run_kb < <(best "$out/run.out" "$bench" run "$out/app")
read -r format_s format_kb < <(best /dev/null xmllint --format "$out/document.xml")
read -r curl_s curl_kb < <(best "$out/answer.received" curl -sS -X POST -H 'Content-Type: text/xml' \
  --data-binary @"$out/document.xml" "${url}M6Kvx/import.asp")
read -r answer_s answer_kb < <(best /dev/null xmllint --format "$out/answer.received")
read -r noout_s noout_kb < <(best /dev/null xmllint --noout "$out/document.xml")
baseline_s=$(awk -v a="$format_s" -v b="$curl_s" -v c="$answer_s" 'BEGIN { printf "%.2f", a + b + c }')
time_ratio=$(ratio "$run_s" "$baseline_s")
memory_ratio=$(ratio "$run_kb" "$noout_kb")
lines=$(awk '/report lines/ { print $3 }' "$out/run.out")
read -r shown_ms whole_ms stall_ms scrolled_ms display_whole < <("$bench" display "$records" 2>/dev/null)

echo "interface document: $records records, $(stat -c %s "$out/document.xml") bytes;" \
  "answer: $(stat -c %s "$out/answer.xml") bytes (best of 3 runs each)"
echo "console import run:           ${run_s} s, ${run_kb} KB peak, report of ${lines} lines"
echo "xmllint --format document:    ${format_s} s, ${format_kb} KB peak"
echo "curl POST to the same server: ${curl_s} s, ${curl_kb} KB peak"
echo "xmllint --format answer:      ${answer_s} s, ${answer_kb} KB peak"
echo "baseline total:               ${baseline_s} s"
echo "xmllint --noout document:     ${noout_s} s, ${noout_kb} KB peak"
echo "time ratio: ${time_ratio} (target <= 1.5); memory ratio: ${memory_ratio} (target <= 2)"
echo "display window, report of $records lines ($display_whole): painted after ${shown_ms} ms" \
  "(target <= 150); the whole report in it ${whole_ms} ms later, the window held up at most" \
  "${stall_ms} ms meanwhile (target <= 100); scrolled to the end and painted after ${scrolled_ms} ms"
status=0
# The label line, one line per record and the empty lines around the block.
[ "$lines" = $((records + 3)) ] || { echo "the import run did not report every record"; status=1; }
within "$time_ratio" 1.5 || { echo "time target missed"; status=1; }
within "$memory_ratio" 2 || { echo "memory target missed"; status=1; }
[ "$display_whole" = whole ] && [ "$shown_ms" -le 150 ] && [ "$stall_ms" -le 100 ] &&
  [ "$scrolled_ms" -le 150 ] || { echo "display target missed"; status=1; }
exit $status
