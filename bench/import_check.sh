#!/usr/bin/env bash
# The dry run of an import (`kvx check`) on an interface document of 100,000 customers (about
# 50 MB, gb2312), every field one of the item structure's, timed against `xmllint --noout` on
# the same file, which only parses it. Target: within 1.5x xmllint's time.
set -euo pipefail
build=${1:?usage: import_check.sh <build folder>}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/timing.bash"
kvx="$build/src/app/kvx"
records=100000
out="$here/out/import_check"
rm -rf "$out"
mkdir -p "$out/app"
cp -r "$here/../sample/xml" "$out/app/"

awk -v n="$records" 'BEGIN {
  print "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
  print "<ztinterface sender=\"001\" receiver=\"m6\" roottag=\"customer\" docid=\"1\" proc=\"Add\">"
  for (i = 1; i <= n; i++) {
    printf "  <customer>\n    <code>C%07d</code>\n    <name>华联商贸有限公司第%d分公司</name>\n", i, i
    printf "    <abbrname>华联%d</abbrname>\n    <class>0%d</class>\n    <dept>D0%d</dept>\n", i, i % 3 + 1, i % 5 + 1
    printf "    <person>P00%d</person>\n    <taxno>91110108MA0%07d</taxno>\n", i % 6 + 1, i
    printf "    <creditline>%d.00</creditline>\n    <creditdays>%d</creditdays>\n", 10000 + i % 90000, 30 + i % 60
    printf "    <devdate>20%02d-%02d-%02d</devdate>\n", 10 + i % 15, i % 12 + 1, i % 28 + 1
    printf "    <address>北京市海淀区中关村大街二十七号中关村大厦十二层%d室</address>\n", i % 1000
    printf "    <phone>010-6275%04d</phone>\n    <disabled>%d</disabled>\n  </customer>\n", i % 10000, i % 2
  }
  print "</ztinterface>"
}' | iconv -f UTF-8 -t GB2312 >"$out/document.xml"

read -r check_s check_kb < <(best "$out/check.out" "$kvx" --app-dir "$out/app" check 客户档案 "$out/document.xml")
read -r noout_s noout_kb < <(best /dev/null xmllint --noout "$out/document.xml")
time_ratio=$(ratio "$check_s" "$noout_s")

echo "interface document: $records records, $(stat -c %s "$out/document.xml") bytes (best of 3 runs each)"
echo "kvx check:                ${check_s} s, ${check_kb} KB peak: $(tail -1 "$out/check.out")"
echo "xmllint --noout document: ${noout_s} s, ${noout_kb} KB peak"
echo "time ratio: ${time_ratio} (target <= 1.5)"
status=0
grep -q "检查了 $records 条记录，未发现问题。" "$out/check.out" ||
  { echo "the check did not pass every record"; status=1; }
within "$time_ratio" 1.5 || { echo "time target missed"; status=1; }
exit $status
