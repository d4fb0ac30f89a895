#!/usr/bin/env bash
# Runs a command on a virtual display of its own (Xvfb, 1280 x 1024) with a real window manager
# (openbox), as on a user's desktop:
#   virtual_desktop.sh <work folder> <command> [arguments...]
# The command sees DISPLAY, HOME and the XDG folders inside the work folder, and QT_QPA_PLATFORM=xcb.
# Exits 77 (skipped) with a line saying why when a tool it needs is missing; else the command's status.
set -euo pipefail

if [ "${1:-}" = --inside ]; then
  # On the display: the window manager first, then the command.
  shift
  ready=$1
  shift
  # xvfb-run may hand over before the server takes connections, mostly on a busy machine.
  for ((i = 0; i < 600; i++)); do
    timeout 5 xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.05
  done
  openbox --sm-disable --startup "touch $ready" >/dev/null 2>&1 &
  wm=$!
  trap 'kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null; true' EXIT
  for ((i = 0; i < 600; i++)); do
    [ -e "$ready" ] && break
    kill -0 "$wm" 2>/dev/null || { echo "FAIL: the window manager did not start" >&2; exit 1; }
    sleep 0.05
  done
  [ -e "$ready" ] || { echo "FAIL: the window manager was not ready within 30s" >&2; exit 1; }
  "$@"
  exit
fi

[ $# -ge 2 ] || { echo "usage: $0 <work folder> <command> [arguments...]" >&2; exit 2; }
work=$1
shift
for tool in xvfb-run xauth xdotool openbox timeout flock; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian packages xvfb, xauth, xdotool, openbox; see scripts/setup.sh)"
    exit 77
  fi
done
mkdir -p "$work/home" "$work/cache" "$work/config" "$work/runtime" "$work/tmp"
chmod 700 "$work/runtime"

source "$(dirname "$(realpath -- "${BASH_SOURCE[0]}")")/free_display.sh"
claim_display 500

# -noreset: the server would otherwise reset when its last client goes (the program quitting, or a
# short xdotool call) and refuse the connections made meanwhile.
# Nothing reaches the real home folder; temporary files of the wrappers land in the work folder.
HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime \
  TMPDIR=$work/tmp QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
  exec xvfb-run -n "$server" -s "-screen 0 1280x1024x24 -noreset" \
  "$(realpath -- "${BASH_SOURCE[0]}")" --inside "$work/wm-ready" "$@"
