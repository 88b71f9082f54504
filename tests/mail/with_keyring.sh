#!/bin/sh
# Runs a test program beside a Secret Service of its own: a private session bus and a
# gnome-keyring-daemon whose login keyring lives in a fresh home folder, unlocked with a
# password of no worth. The daemon ends with the bus; the keyring is removed afterwards.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
export HOME="$home" XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
  XDG_RUNTIME_DIR="$home/run"
unset DBUS_SESSION_BUS_ADDRESS
dbus-run-session -- sh -c \
  'printf kvx | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' \
  with-keyring "$@"
