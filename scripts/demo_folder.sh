#!/usr/bin/env bash
# Readies a copy of the sample application folder for the demo: default import and export
# files for the condition items, and the mail transfer window's folders.
#
#   scripts/demo_folder.sh APP-DIR
#
# Used by scripts/demo.sh and by scripts/package_check.sh on the folder an installed console made.
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: scripts/demo_folder.sh APP-DIR" >&2; exit 2; }
app=$(cd "$1" && pwd)

# Default paths of the condition items: the sample's data file of the item for imports (when
# there is one), a file per item and sender code under export/ for exports. The files are
# GB2312; every byte the edit touches is ASCII.
fill_default_paths() { # condition file
  local file=$1 roottag
  case "$app" in *[\&\"\<\#\\]*)
    echo "note: $app holds characters unfit for an XML attribute; default paths left empty"
    return ;;
  esac
  for data in "$app"/data/*.xml; do
    roottag=$(basename "$data" .xml)
    LC_ALL=C sed -i -E "s#(<$roottag name=\"[^\"]*\" code=\"[^\"]*\") importfile=\"\"#\1 importfile=\"$data\"#" "$file"
  done
  LC_ALL=C sed -i -E \
    -e "s#(<([a-z_]+) name=\"[^\"]*\" code=\"\" importfile=\"[^\"]*\") exportfile=\"\"#\1 exportfile=\"$app/export/\2.xml\"#" \
    -e "s#(<([a-z_]+) name=\"[^\"]*\" code=\"([^\"]+)\" importfile=\"[^\"]*\") exportfile=\"\"#\1 exportfile=\"$app/export/\2_\3.xml\"#" \
    "$file"
}
mkdir -p "$app/export" "$app/import"
fill_default_paths "$app/xml/operation/Condition.xml"
fill_default_paths "$app/xml/operation/ScheCondition.xml"

# The mail transfer window's folders: arrived documents to import/, exported ones from export/.
printf '"%s"\r\n"%s"\r\n"%s"\r\n' "$app/import/" "$app/export/" false >"$app/xml.ini"
