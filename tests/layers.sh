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

grep -rHoE '#include "[a-z_]+/[^"]*"' src |
  awk -v order="$layers" '
    BEGIN { n = split(order, names, " "); for (i = 1; i <= n; i++) rank[names[i]] = i }
    {
      split($0, path, "/"); from = path[2]
      to = $0; sub(/^[^:]*:#include "/, "", to); sub(/\/.*/, "", to)
      if ((to in rank) && rank[to] > rank[from]) {
        print $0 ": includes " to "/, a layer above " from "/"; bad = 1
      }
    }
    END { exit bad }' || exit 1
echo "layers point one way:" $layers
