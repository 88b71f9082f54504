#!/usr/bin/env bash
# The reference exchange server on 100,000 customer records: one import document posted with
# curl, then one export of all records, beside plain xmllint and sqlite3 on the same data.
# Targets: import within 2.5 times xmllint --noout plus sqlite3 inserting the same rows in one
# transaction, export within 2 times xmllint --noout, the server's peak memory within 1.5
# times that of xmllint --noout. Fails when a target is missed or a record is lost.
# Usage: bench/server_exchange.sh BUILD_DIR [RECORDS]
set -euo pipefail
build=${1:?usage: server_exchange.sh <build folder> [records]}
records=${2:-100000}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/timing.bash"
work="$here/out/server"
rm -rf "$work"
mkdir -p "$work"

pwd_hash=$(openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:demo -kdfopt salt:KVXEncrypt \
  -kdfopt iter:10000 PBKDF2 | tr -d ':' | tr 'A-F' 'a-f')

# One interface document, records shaped like the sample's customers.
awk -v n="$records" -v pwd="$pwd_hash" 'BEGIN {
  print "<?xml version=\"1.0\" encoding=\"gb2312\"?>"
  print "<ztinterface sender=\"001\" receiver=\"m6\" roottag=\"customer\" docid=\"1\" proc=\"Add\">"
  for (i = 1; i <= n; i++)
    printf "  <customer>\n    <code>B%07d</code>\n    <name>Bench customer %d</name>\n    <abbrname>Bench %d</abbrname>\n    <class>01</class>\n    <dept>D04</dept>\n    <person>P004</person>\n    <taxno>91110105MA01A2B3C4</taxno>\n    <creditline>%d.00</creditline>\n    <creditdays>30</creditdays>\n    <devdate>2020-01-01</devdate>\n    <address>Jianguo Road %d, Chaoyang District, Beijing</address>\n    <phone>010-85801234</phone>\n    <disabled>0</disabled>\n  </customer>\n", i, i, i, i * 10, i
  printf "  <opinfo operator=\"demo\" pwd=\"%s\" date=\"2026-01-01\"/>\n</ztinterface>\n", pwd
}' >"$work/import.xml"
awk -v n="$records" 'BEGIN {
  print "CREATE TABLE records(roottag TEXT, record_key TEXT, xml TEXT, UNIQUE(roottag, record_key));"
  print "BEGIN;"
  for (i = 1; i <= n; i++)
    printf "INSERT INTO records VALUES(\x27customer\x27, \x27B%07d\x27, \x27<customer><code>B%07d</code><name>Bench customer %d</name><class>01</class><creditline>%d.00</creditline><devdate>2020-01-01</devdate><address>Jianguo Road %d, Chaoyang District, Beijing</address><disabled>0</disabled></customer>\x27);\n", i, i, i, i * 10, i
  print "COMMIT;"
}' >"$work/insert.sql"
cat >"$work/query.xml" <<XML
<?xml version='1.0' encoding='gb2312' ?>
<ztinterface sender='001' receiver='m6' roottag='customer' docid='2' proc='Query' codeexchanged='n' exportneedexch='n'><customer name='customer' code='001'><field display='creditline' name='creditline' operation='&gt;=' value='0' logic=''/></customer><opinfo operator='demo' pwd='$pwd_hash' date='2026-01-01'/></ztinterface>
XML

seconds() { # output file of /usr/bin/time -f "%e %M"
  cut -d' ' -f1 "$1"
}

read -r xmllint_s xmllint_kb < <(best /dev/null xmllint --noout "$work/import.xml")
prepare() { rm -f "$work/plain.sqlite"; }
read -r sqlite_s _ < <(best /dev/null sqlite3 -init "$work/insert.sql" "$work/plain.sqlite" .quit)
unset -f prepare

# One round: a fresh server and store, the import, the export, a post to a missing page, and
# the server's peak memory. Prints "import-s export-s curl-s peak-kb".
round() {
  start_server "$build" "$work"
  post() { # name, body file, page
    /usr/bin/time -f "%e %M" -o "$work/$1.t" curl -s -o "$work/$1.answer" -w '%{http_code}' \
      --data-binary @"$2" "$url$3" >"$work/$1.status"
  }
  post import "$work/import.xml" M6Kvx/import.asp
  post export "$work/query.xml" M6Kvx/import.asp
  post missing "$work/import.xml" no-such-page
  local peak_kb
  peak_kb=$(awk '/^VmHWM/ { print $2 }' "/proc/$server_pid/status")
  stop_server
  echo "$(seconds "$work/import.t") $(seconds "$work/export.t") $(seconds "$work/missing.t") $peak_kb"
}

# Best time of three rounds each (the machine may be shared); the highest peak.
import_s=999; export_s=999; curl_s=999; peak_kb=0
for _ in 1 2 3; do
  read -r i e c p < <(round)
  import_s=$(awk -v a="$i" -v b="$import_s" 'BEGIN { print (a < b ? a : b) }')
  export_s=$(awk -v a="$e" -v b="$export_s" 'BEGIN { print (a < b ? a : b) }')
  curl_s=$(awk -v a="$c" -v b="$curl_s" 'BEGIN { print (a < b ? a : b) }')
  [ "$p" -gt "$peak_kb" ] && peak_kb=$p
done

failed=$(grep -c 'succeed="1"' "$work/import.answer" || true)
imported=$(grep -c 'succeed="0"' "$work/import.answer" || true)
exported=$(grep -c '<customer>' "$work/export.answer" || true)
size=$(du -m "$work/import.xml" | cut -f1)
peak_mb=$(( peak_kb / 1024 ))
xmllint_mb=$(( xmllint_kb / 1024 ))
import_ratio=$(ratio "$import_s" "$(awk -v a="$xmllint_s" -v b="$sqlite_s" 'BEGIN { print a + b }')")
export_ratio=$(ratio "$export_s" "$xmllint_s")
memory_ratio=$(ratio "$peak_kb" "$xmllint_kb")

printf '%s records, import document %s MB (best of 3 runs each)\n' "$records" "$size"
printf '  xmllint --noout           %6.2f s  %5d MB\n' "$xmllint_s" "$xmllint_mb"
printf '  sqlite3 inserts, 1 txn    %6.2f s\n' "$sqlite_s"
printf '  curl POST, 404 page       %6.2f s\n' "$curl_s"
printf '  import (HTTP %s)         %6.2f s  = %s x (xmllint + sqlite3)  target <= 2.5; %s stored, %s failed\n' \
  "$(cat "$work/import.status")" "$import_s" "$import_ratio" "$imported" "$failed"
printf '  export (HTTP %s)         %6.2f s  = %s x xmllint               target <= 2; %s records\n' \
  "$(cat "$work/export.status")" "$export_s" "$export_ratio" "$exported"
printf '  server peak memory        %6d MB  = %s x xmllint               target <= 1.5\n' \
  "$peak_mb" "$memory_ratio"

status=0
[ "$(cat "$work/import.status")" = 200 ] && [ "$imported" = "$records" ] && [ "$failed" = 0 ] ||
  { echo "the import did not store every record"; status=1; }
# The demo data holds three customers of its own.
[ "$(cat "$work/export.status")" = 200 ] && [ "$exported" = $((records + 3)) ] ||
  { echo "the export did not return every record"; status=1; }
within "$import_ratio" 2.5 || { echo "import target missed"; status=1; }
within "$export_ratio" 2 || { echo "export target missed"; status=1; }
within "$memory_ratio" 1.5 || { echo "memory target missed"; status=1; }
exit $status
