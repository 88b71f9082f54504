# Shared by the benchmark scripts (sourced; not a benchmark itself).

# start_server <build folder> <work folder>: the reference exchange server with its demo data
# in <work folder>/store.sqlite, on a port of 127.0.0.1 it chooses; sets server_pid and url.
# It is stopped by stop_server, and at the script's end at the latest.
server_pid=""
start_server() {
  local work=$2
  rm -f "$work"/store.sqlite*
  : >"$work/server.out" # exists before the server writes to it
  "$1/server/kvx-exchange-server" --listen 127.0.0.1:0 --demo --data "$work/store.sqlite" \
    >"$work/server.out" 2>"$work/server.log" &
  server_pid=$!
  trap stop_server EXIT
  for _ in $(seq 100); do
    grep -q '^listening on' "$work/server.out" && break
    sleep 0.1
  done
  url=$(sed -n 's/^listening on \(.*\)$/\1/p' "$work/server.out")
  [ -n "$url" ] || { echo "server did not start" >&2; cat "$work/server.log" >&2; exit 1; }
}
stop_server() {
  if [ -n "$server_pid" ]; then
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  fi
}

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
