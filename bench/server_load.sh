#!/usr/bin/env bash
# The reference exchange server under load: 50 clients, each on a connection of its own, mix
# logins, imports of new customers and exports of their own customers for 60 s on loopback.
# Targets: no request fails, and every record whose import the server acknowledged is exported
# exactly once (each client checks its own after every export, one export checks all at the
# end). Prints the latencies, the 99th percentile among them.
# Usage: bench/server_load.sh BUILD_DIR [CLIENTS] [SECONDS]
set -euo pipefail
build=${1:?usage: server_load.sh <build folder> [clients] [seconds]}
clients=${2:-50}
seconds=${3:-60}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/timing.bash"
out="$here/out/server_load"
rm -rf "$out"
mkdir -p "$out"

start_server "$build" "$out"

echo "load on the reference server ($(uptime | sed 's/.*load average/load average/'))"
status=0
"$build/bench/server_load" "$url" "$clients" "$seconds" >"$out/load.out" || status=1
sed 's/^/  /' "$out/load.out"
kill -0 "$server_pid" 2>/dev/null || { echo "the server ended under load"; status=1; }
[ $status = 0 ] || echo "server load target missed"
exit $status
