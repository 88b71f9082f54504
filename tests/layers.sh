#!/usr/bin/env bash
# Layers point one way: each folder of src/ includes only itself and the folders before it in
# the README's layer list. The list is read from the README, so the two cannot drift apart.
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$top"

layers=$(awk '/^Layers point one way/,/^$/' README.md | grep -o '`[a-z]*`' | tr -d '`' |
           while read -r name; do [ -d "src/$name" ] && echo "$name"; done | awk '!seen[$0]++')
declare -A rank
i=0
for name in $layers; do rank[$name]=$i; i=$((i + 1)); done
for dir in src/*/; do
  name=$(basename "$dir")
  [ -n "${rank[$name]+x}" ] || { echo "src/$name is not in the README's layer list"; exit 1; }
done

status=0
while IFS=: read -r file included; do
  from=$(echo "$file" | cut -d/ -f2)
  to=$(echo "$included" | sed -E 's|#include "([a-z_]+)/.*|\1|')
  [ -n "${rank[$to]+x}" ] || continue
  if [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
    echo "$file includes $to/, a layer above $from/: $included"
    status=1
  fi
done < <(grep -rHoE '#include "[a-z_]+/[^"]*"' src)
[ $status -eq 0 ] && echo "layers: $(echo $layers | tr ' ' ' ') point one way"
exit $status
