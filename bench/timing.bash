# Shared by the benchmark scripts (sourced; not a benchmark itself).

# best <output file> <command...>: "seconds peak-KB" of the fastest of three runs; before
# each run the function `prepare`, when defined, restores the input.
best() {
  local output=$1; shift
  local lines=() timing
  timing=$(mktemp)
  for round in 1 2 3; do
    if declare -F prepare >/dev/null; then prepare; fi
    /usr/bin/time -f "%e %M" -o "$timing" "$@" >"$output"
    lines+=("$(cat "$timing")")
  done
  rm -f "$timing"
  printf '%s\n' "${lines[@]}" | sort -n | head -1
}

# ratio <ours> <reference>: ours / reference with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b < 0.01) b = 0.01; printf "%.2f", a / b }'; }

# within <ratio> <limit>: succeeds when the ratio meets the limit.
within() { awk -v r="$1" -v l="$2" 'BEGIN { exit !(r <= l) }'; }
