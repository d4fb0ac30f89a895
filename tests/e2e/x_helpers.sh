# Sourced by the end-to-end sessions: waiting for and driving the program's windows with xdotool.
# The caller defines fail <message> and step_limit (seconds any single thing may take).

# wait_for <what> <command...>: polls the command until it succeeds, at most step_limit seconds.
wait_for() {
  local what=$1
  shift
  local deadline=$(( $(date +%s) + step_limit ))
  until "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "waited ${step_limit}s for $what"
    sleep 0.05
  done
}

x() { timeout 10 xdotool "$@"; }

# For a failure's report: every visible window and its name, on standard error.
show_windows() {
  echo "--- windows on screen:" >&2
  local id
  for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    echo "  $id $(xdotool getwindowname "$id" 2>/dev/null)" >&2
  done
}

# The first visible window whose whole name is <name>.
window_id() { x search --onlyvisible --name "^$(sed 's/[][\.*^$()+?{}|]/\\&/g' <<<"$1")\$" | head -n 1; }
window_shown() { [ -n "$(window_id "$1")" ]; }
# A window that goes while xdotool walks the tree (another program's, closing) makes it fail with
# BadWindow: asked again. Nothing shown is an empty list.
visible_windows() {
  local found= attempt
  for attempt in 1 2 3 4 5; do
    found=$(x search --onlyvisible --class zarun 2>/dev/null) && break
    sleep 0.05
  done
  [ -z "$found" ] || sort <<<"$found"
}
# Windows of the program shown now that were not in the list $1.
new_windows() { comm -13 <(printf '%s\n' "$1") <(visible_windows) | grep .; }
none_visible() {
  local id
  for id in $1; do
    [ -z "$(x search --onlyvisible --class zarun | grep -x "$id")" ] || return 1
  done
}
has_icon() { xprop -id "$1" _NET_WM_ICON | grep -q 'Icon (32 x 32)'; }
# Gone or a zombie waiting to be reaped.
process_ended() { [ ! -e "/proc/$1" ] || grep -q '^State:[[:space:]]*Z' "/proc/$1/status"; }

# menu <main window> <menu mnemonic> <keys...>: opens a menu of the menu bar with Alt and its
# mnemonic, waits for it to drop down, then presses the keys that pick the entry and waits for
# the menu to go (a dialog the entry opens may already be showing by then).
menu() {
  local main=$1 letter=$2
  shift 2
  x windowfocus --sync "$main"
  local before popup
  before=$(visible_windows)
  x key "alt+$letter"
  wait_for "the menu Alt+$letter to open" new_windows "$before"
  popup=$(new_windows "$before")
  x key "$@"
  wait_for "the menu Alt+$letter to close" none_visible "$popup"
}
