#!/usr/bin/env bash
# The main window's placement under a real window manager, which frames the window only after it is
# shown: three starts and quits without touching the window must write ZARUN.ini's placement back
# exactly as read, the first start 8000 x 6000 twips with the frame included, and no widths of the lists
# written (the columns fit what they show; that is not the user's choice). Widths of the lists stored
# after the first start stay as they are: the later starts leave the whole file as it was. Then a
# placement kept from a screen area that is gone comes back inside the screen, and stays inside when
# maximized and restored (a double click on the title bar, as openbox does it).
#   e2e_placement.sh <zarun executable>
# Exits 77 (skipped) when xvfb-run, openbox, xdotool or another tool it needs is missing.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/x_helpers.sh"
step_limit=${ZARUN_E2E_STEP_TIMEOUT:-30}

fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/zarun.log" ] && { echo "--- program output:" >&2; cat "$work/zarun.log" >&2; }
  exit 1
}

main_shown() { [ -n "$(x search --onlyvisible --name '^ZARUN$' | head -n 1)" ]; }
# "TOP LEFT HEIGHT WIDTH MAXIMIZE" as written in ZARUN.ini.
placement() {
  local key
  for key in TOP LEFT HEIGHT WIDTH MAXIMIZE; do
    printf '%s ' "$(tr -d '\r' <"$1" | sed -n "s/^$key=//p")"
  done
}

# One start and quit (Alt+D, X); sets written to the placement written at the quit.
cycle() {
  (cd "$work" && exec "$prog/zarun" >>"$work/zarun.log" 2>&1) &
  local pid=$! main
  wait_for "the main window" main_shown
  main=$(x search --onlyvisible --name '^ZARUN$' | head -n 1)
  # The window manager has framed it: the client area is smaller than the outer size.
  eval "$(x getwindowgeometry --shell "$main")"
  client_height=$HEIGHT
  local before
  before=$(visible_windows)
  x windowactivate --sync "$main" key alt+d
  wait_for "the data menu to open" new_windows "$before"
  x key x
  wait_for "the program to end" process_ended "$pid"
  wait "$pid" || fail "the program ended with status $?"
  written=$(placement "$prog/ZARUN.ini")
}

session() {
  prog=$work/program
  mkdir -p "$prog"
  cp "$1" "$prog/zarun"
  local first second third
  cycle
  first=$written
  read -r top left height width maximized <<<"$first"
  echo "start 1: TOP LEFT HEIGHT WIDTH MAXIMIZE = $first"
  [ "$height $width $maximized" = "6000 8000 False" ] || fail "the first start is not 8000 x 6000 twips outer: $first"
  [ $((client_height * 15)) -lt "$height" ] || fail "no window frame: client $client_height px high for HEIGHT=$height"
  ! grep -q '^\[Column\]' "$prog/ZARUN.ini" || fail "fitted widths were written: $(tr -d '\r' <"$prog/ZARUN.ini")"
  printf '[Column]\r\nCategoryList=2400\r\nPath=4500\r\nStatus=1000\r\n' >>"$prog/ZARUN.ini"
  cp "$prog/ZARUN.ini" "$work/stored.ini"
  cycle
  second=$written
  echo "start 2: TOP LEFT HEIGHT WIDTH MAXIMIZE = $second"
  cmp -s "$prog/ZARUN.ini" "$work/stored.ini" ||
    fail "ZARUN.ini changed:$(diff <(cat -A "$work/stored.ini") <(cat -A "$prog/ZARUN.ini"))"
  cycle
  third=$written
  echo "start 3: TOP LEFT HEIGHT WIDTH MAXIMIZE = $third"
  [ "$first" = "$second" ] && [ "$second" = "$third" ] || fail "the placement changed: $first / $second / $third"
  cmp -s "$prog/ZARUN.ini" "$work/stored.ini" || fail "ZARUN.ini changed on the third start"

  # Kept from a larger screen, far right and below: the window comes back inside this one.
  sed -i 's/^TOP=.*/TOP=30000\r/; s/^LEFT=.*/LEFT=45000\r/' "$prog/ZARUN.ini"
  (cd "$work" && exec "$prog/zarun" >>"$work/zarun.log" 2>&1) &
  local pid=$! main
  wait_for "the main window" main_shown
  main=$(x search --onlyvisible --name '^ZARUN$' | head -n 1)
  inside "$main" "restored from a screen area that is gone"
  # Maximized and restored by the window manager: still inside.
  local X Y WIDTH HEIGHT
  read -r X Y WIDTH HEIGHT < <(area "$main")
  x mousemove --sync $((X + WIDTH / 2)) $((Y - 10)) click --repeat 2 --delay 80 1
  wait_for "the window to be maximized" maximized "$main"
  read -r X Y WIDTH HEIGHT < <(area "$main")
  x mousemove --sync $((X + WIDTH / 2)) $((Y - 10)) click --repeat 2 --delay 80 1
  wait_for "the window to be restored" restored "$main" "$WIDTH"
  inside "$main" "restored from maximized"
  x windowactivate --sync "$main" key alt+d
  sleep 0.3
  x key x
  wait_for "the program to end" process_ended "$pid"
}

maximized() { xprop -id "$1" _NET_WM_STATE | grep -q MAXIMIZED_VERT; }
# Not maximized any more, and narrower than the maximized width $2.
restored() { ! maximized "$1" && [ "$(area "$1" | cut -d' ' -f3)" -lt "$2" ]; }
# The window's frame lies on the 1280 x 1024 screen.
# The window's own area as "X Y WIDTH HEIGHT" on the screen (xdotool's position of a framed window is
# off by the frame).
area() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}
inside() {
  local l r t b X Y WIDTH HEIGHT
  read -r X Y WIDTH HEIGHT < <(area "$1")
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  echo "$2: frame $((WIDTH + l + r))x$((HEIGHT + t + b)) at $((X - l)),$((Y - t)) (extents $l $r $t $b, client $WIDTH x $HEIGHT at $X,$Y)"
  [ $((X - l)) -ge 0 ] && [ $((Y - t)) -ge 0 ] && [ $((X + WIDTH + r)) -le 1280 ] && [ $((Y + HEIGHT + b)) -le 1024 ] ||
    fail "$2: the window is not inside the screen"
}

if [ "${1:-}" = --session ]; then
  work=$2
  session "$3"
  exit 0
fi

[ $# -eq 1 ] || { echo "usage: $0 <zarun>" >&2; exit 2; }
zarun=$(realpath -- "$1")
[ -x "$zarun" ] || { echo "FAIL: $zarun is missing" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
timeout -k 5 180 "$here/virtual_desktop.sh" "$work" bash "$(realpath -- "${BASH_SOURCE[0]}")" --session "$work" "$zarun" ||
  status=$?
[ "$status" -eq 124 ] && echo "FAIL: the test took longer than 180s" >&2
[ "$status" -eq 0 ] && echo "PASS: placement kept over three starts, pulled inside the screen"
exit "$status"
