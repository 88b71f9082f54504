#!/usr/bin/env bash
# The Debian packages of build/packages (`./run package`) on this machine as an operator gets
# them: installed with apt-get, the installed reference server started, the installed plan
# agent's --run-now against it and the installed console opened on a virtual screen (Xvfb) to
# its login window, all in a fresh home folder; then the packages are removed again, also when a
# step fails.
#
#   scripts/package_check.sh
#
# Needs root (or sudo). Refuses to run while either package is installed already: that
# installation is not this script's to remove.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
names=(kvx-console kvx-exchange-server)
for name in "${names[@]}"; do
  if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed'; then
    echo "$name is installed already; remove it first" >&2
    exit 1
  fi
done
debs=("$top"/build/packages/*.deb)
[ -e "${debs[0]}" ] || { echo "no packages in build/packages: ./run package makes them" >&2; exit 1; }

work=$(mktemp -d /tmp/kvx-package-check.XXXXXX)
chmod 755 "$work" # apt's unprivileged download user reads the packages here
server_pid=""
console_pid=""
xvfb_pid=""
installed=no
finish() {
  local status=$?
  [ -n "$console_pid" ] && kill "$console_pid" 2>/dev/null || true
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  if [ "$installed" = yes ]; then
    echo "== removing the packages"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove --purge -y -qq "${names[@]}" >/dev/null
    for path in /usr/bin/kvx-console /usr/bin/KVXTimer /usr/bin/kvx-exchange-server /usr/share/kvx; do
      [ ! -e "$path" ] || { echo "FAILED: $path is left after the removal" >&2; status=1; }
    done
  fi
  rm -rf "$work"
  [ $status -eq 0 ] && echo "== the packages install, run and remove cleanly"
  exit $status
}
trap finish EXIT
trap 'exit 1' INT TERM HUP
fail() {
  echo "FAILED: $*" >&2
  for log in "$work"/*.log "$work"/*.out; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 40 "$log" >&2; }
  done
  exit 1
}

echo "== installing ${debs[*]##*/}"
cp "${debs[@]}" "$work/"
(cd "$work" && DEBIAN_FRONTEND=noninteractive timeout 600 $sudo apt-get install -y -qq --no-install-recommends \
  ./*.deb >"$work/apt.log" 2>&1) || fail "apt-get install"
installed=yes
for program in kvx-console KVXTimer kvx-exchange-server; do
  [ "$(command -v $program)" = "/usr/bin/$program" ] || fail "$program is not installed in /usr/bin"
done
[ -f /usr/lib/systemd/system/kvx-exchange-server.service ] || fail "the server's systemd unit is missing"
[ ! -e /etc/systemd/system/multi-user.target.wants/kvx-exchange-server.service ] ||
  fail "the server's systemd unit is enabled"

# A fresh home folder, nothing of the build's environment.
home="$work/home"
mkdir -p "$home"
# A command, not a function: started in the background, its process is the program's own.
as_operator=(env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8)

echo "== the installed reference server"
"${as_operator[@]}" kvx-exchange-server --listen 127.0.0.1:0 --data "$work/store.sqlite" --demo \
  >"$work/server.out" 2>"$work/server.log" &
server_pid=$!
url=""
for _ in $(seq 1 100); do
  url=$(sed -n 's/^listening on \(http:\/\/[^ ]*\)$/\1/p' "$work/server.out")
  [ -n "$url" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$url" ] || fail "the server did not start"
echo "listening on $url"

# The console on a virtual screen of its own, so that its windows can be found by their titles.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
display=":$(head -n 1 "$work/display")"

open_console() { # title of the window it must show within 60 s
  "${as_operator[@]}" DISPLAY="$display" kvx-console >"$work/console.log" 2>&1 &
  console_pid=$!
  local waited=0
  until DISPLAY="$display" xwininfo -root -tree | grep -qF "\"$1\": (\"kvx-console\""; do
    kill -0 "$console_pid" 2>/dev/null || fail "the console ended before it showed \"$1\""
    [ $waited -lt 600 ] || fail "the console showed no window \"$1\" within 60 s"
    sleep 0.1
    waited=$((waited + 1))
  done
  kill "$console_pid"
  wait "$console_pid" 2>/dev/null || true
  console_pid=""
}
# The first start makes the user's folder from the installed sample and says so in a message
# box; the next start opens the login window.
folder="$home/.local/share/kvx"
echo "== the installed console, first start"
open_console "KVX管理系统"
[ -d "$folder" ] || fail "the console did not make $folder"
diff -r /usr/share/kvx/sample "$folder" >"$work/diff.out" || fail "$folder differs from the sample"

echo "== the installed plan agent, --run-now 001 on the user's folder"
"$top/scripts/demo_folder.sh" "$folder"
password=$(python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha256', b'demo', b'KVXEncrypt', 10000).hex())")
printf '"%s"\r\n"%s"\r\n"%s"\r\n"%s"\r\n' "$url" demo "$password" "$(date +%Y-%m-%d)" >"$folder/LoginWan.ini"
"${as_operator[@]}" timeout 300 KVXTimer --run-now 001 >"$work/agent.out" 2>"$work/agent.log" ||
  fail "KVXTimer --run-now 001 (exit status $?)"
cat "$work/agent.out"
[ -s "$folder/export/saleinvoice_001.xml" ] || fail "the agent's export wrote no file"
runs=$(sqlite3 "$folder/KVXRunHistory.db" \
  "SELECT count(*) FROM runs WHERE origin = 'agent' AND outcome = 'completed'")
[ "$runs" -ge 1 ] || fail "the run history holds no completed run of the agent"
grep -q "operator=demo sender=001 roottag=customer .* outcome=200 ok" "$work/server.log" ||
  fail "the server took no customers from the agent"

echo "== the installed console, to its login window"
open_console "远程登录"
