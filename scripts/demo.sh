#!/usr/bin/env bash
# The whole exchange on one machine: a fresh application folder from sample/ under demo/,
# the reference exchange server with demo data on a free loopback port, and the console.
#
#   scripts/demo.sh                 run the console on the current display
#   scripts/demo.sh --xvfb          run under Xvfb, save demo/screenshot.png, stop
#   scripts/demo.sh --screenshots   under Xvfb, drive every window with kvx-screenshots and
#                                   save its pictures in docs/screenshots/, stop
#
# Called by `./run demo` and `./run screenshots` after the build into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
build="$top/build"
server_bin="$build/server/kvx-exchange-server"
console_bin="$build/src/app/kvx-console"
screenshots_bin="$build/tools/screenshots/kvx-screenshots"
demo="$top/demo"

mode=display
case "${1:-}" in
  --xvfb) mode=xvfb ;;
  --under-xvfb) mode=under-xvfb ;;
  --screenshots) mode=screenshots ;;
  --under-xvfb-screenshots) mode=under-xvfb-screenshots ;;
  "") ;;
  *) echo "usage: ./run demo [--xvfb], ./run screenshots" >&2; exit 2 ;;
esac

# The pictures show the folder's paths: the same wherever the checkout lies.
if [ "$mode" = under-xvfb-screenshots ]; then demo=/tmp/kvx-demo; fi
app="$demo/app"

case "$mode" in xvfb | screenshots)
  command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: ./run setup installs it" >&2; exit 1; }
  under=--under-xvfb
  [ "$mode" = xvfb ] || under=--under-xvfb-screenshots
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$under"
esac

[ -x "$server_bin" ] || { echo "$server_bin is missing: build first (./run build)" >&2; exit 1; }

# A fresh application folder and a fresh store.
rm -rf "$app" "$demo/store.sqlite" "$demo/store.sqlite-wal" "$demo/store.sqlite-shm"
mkdir -p "$demo"
cp -R "$top/sample" "$app"
"$top/scripts/demo_folder.sh" "$app"

# The server picks a free port and prints it. For the pictures it answers late, so that a run
# is seen under way.
server_args=(--listen 127.0.0.1:0 --data "$demo/store.sqlite" --demo)
if [ "$mode" = under-xvfb-screenshots ]; then server_args+=(--delay-ms 3000); fi
server_out="$demo/server.out"
server_log="$demo/server.log"
: >"$server_out"
"$server_bin" "${server_args[@]}" >"$server_out" 2>"$server_log" &
server_pid=$!
console_pid=""
stop_all() {
  [ -n "$console_pid" ] && kill "$console_pid" 2>/dev/null || true
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
}
trap stop_all EXIT
trap 'exit 130' INT TERM

url=""
for _ in $(seq 1 100); do
  url=$(sed -n 's/^listening on \(http:\/\/[^ ]*\)$/\1/p' "$server_out")
  [ -n "$url" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$url" ]; then
  echo "The exchange server did not start:" >&2
  cat "$server_log" >&2
  exit 1
fi

# Server address, user, (no) encrypted password, today's date: four quoted lines, CR LF.
printf '"%s"\r\n"%s"\r\n"%s"\r\n"%s"\r\n' "$url" demo "" "$(date +%Y-%m-%d)" >"$app/LoginWan.ini"

cat <<EOF
Exchange server: $url  (store $demo/store.sqlite, log $server_log)
Application folder: $app
Log in with user "demo", password "demo", registration code (注册号) "001".
Also: user "viewer" / "viewer" (may execute exchanges, not configure), sender code "002".
EOF

wait_for_interrupt() {
  echo "The exchange server keeps running; press Ctrl-C to stop it."
  wait "$server_pid"
}

if [ ! -x "$console_bin" ]; then
  echo "The console ($console_bin) has not been built yet."
  [ "$mode" = under-xvfb ] && exit 1
  wait_for_interrupt
  exit 0
fi

case "$mode" in
  under-xvfb-screenshots)
    [ -x "$screenshots_bin" ] || { echo "$screenshots_bin is missing: ./run screenshots builds it" >&2; exit 1; }
    pictures="$top/docs/screenshots"
    rm -f "$pictures"/*.png
    KVX_APP_DIR="$app" "$screenshots_bin" "$pictures"
    # Eight-bit palettes keep the pictures small and the text sharp.
    for picture in "$pictures"/*.png; do
      pngquant --force --skip-if-larger --strip --output "$picture" -- "$picture" || true
    done
    ;;
  under-xvfb)
    KVX_APP_DIR="$app" "$console_bin" &
    console_pid=$!
    sleep 5
    import -window root "$demo/screenshot.png"
    echo "Screenshot: $demo/screenshot.png"
    ;;
  display)
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
      echo "There is no display. Run the console under Xvfb with: ./run demo --xvfb"
      echo "(or: xvfb-run -a env KVX_APP_DIR=$app $console_bin)"
      wait_for_interrupt
      exit 0
    fi
    KVX_APP_DIR="$app" "$console_bin" &
    console_pid=$!
    wait "$console_pid" || true
    console_pid=""
    ;;
esac
