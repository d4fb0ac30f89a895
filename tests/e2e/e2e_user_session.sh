#!/usr/bin/env bash
# A user's first session with the real program, driven by real X input on a virtual display:
#   e2e_user_session.sh <zarun executable> <zarun_fake_ide executable>
# The program is copied into a fresh program folder (ZARUN.ini and NewFile.zrd land beside it) and
# runs in a private desktop (scripts/with-fake-ide.sh) with a window manager (openbox), where the
# stand-in IDE builds .vbp files.
# Steps: first start, New, add a category, add a project (the IDE builds its missing executable),
# Save, set the start-up file in the options, Quit; then start again and find the catalogue open.
# Exits 77 (skipped) when xvfb-run, openbox, xdotool or another tool it needs is missing.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/x_helpers.sh"
root=$(cd "$here/../.." && pwd)

# Seconds for the whole session, and for any single thing to happen on screen.
total_limit=${ZARUN_E2E_TIMEOUT:-240}
step_limit=${ZARUN_E2E_STEP_TIMEOUT:-30}

# ---------------------------------------------------------------------------------------------
# Inside the virtual display and the private desktop.

fail() {
  echo "FAIL: $*" >&2
  show_windows
  if [ -s "$work/zarun.log" ]; then
    echo "--- program output:" >&2
    cat "$work/zarun.log" >&2
  fi
  if [ -n "${ZARUN_E2E_SCREENSHOT:-}" ] && command -v import >/dev/null; then
    import -window root "$ZARUN_E2E_SCREENSHOT" 2>/dev/null && echo "--- screen saved to $ZARUN_E2E_SCREENSHOT" >&2
  fi
  exit 1
}

# With ZARUN_E2E_SHOTS set to a folder, the screen is saved there at every step (for a look).
shot_count=0
shot() {
  [ -n "${ZARUN_E2E_SHOTS:-}" ] && command -v import >/dev/null || return 0
  shot_count=$((shot_count + 1))
  import -window root "$ZARUN_E2E_SHOTS/$(printf '%02d' "$shot_count")-$1.png" 2>/dev/null || true
}

step() {
  shot "step"
  local ms=$(( ($(date +%s%N) - started_ns) / 1000000 ))
  printf '[%3d.%01ds] %s\n' $((ms / 1000)) $((ms % 1000 / 100)) "$*"
}

window_gone() { ! window_shown "$1"; }

# Gives the keyboard to a window, rather than wait for the window manager to do it when a dialog closes.
focus() { x windowfocus --sync "$1"; }

# wait_window <name>: waits for the window and gives it the keyboard; prints its id.
wait_window() {
  wait_for "the window \"$1\"" window_shown "$1"
  local id
  id=$(window_id "$1")
  focus "$id"
  echo "$id"
}

# Calls of the stand-in IDE with "/make" so far.
build_calls() { find "$ZARUN_FAKE_IDE_LOG" -name '*.args' -exec cat {} + | tr '\0' '\n' | grep -c -x -- '/make' || true; }
build_calls_above() { [ "$(build_calls)" -gt "$1" ]; }

title_is() { [ "$(x getwindowname "$1")" = "$2" ]; }
file_is() { [ -f "$1" ] && cmp -s "$1" "$2"; }

start_program() {
  (cd "$work" && exec "$prog/zarun" >>"$work/zarun.log" 2>&1) &
  pid=$!
}

# quit_program <main window>: Data menu, Quit; waits for the process to end and checks its status.
quit_program() {
  menu "$1" d x
  wait_for "the program to end" process_ended "$pid"
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

# ZARUN.ini with the placement numbers, which depend on the screen, replaced by "#".
settings_shape() {
  sed -E 's/^(TOP|LEFT|HEIGHT|WIDTH)=-?[0-9]+\r$/\1=#\r/' "$1"
}

session() {
  local source_exe=$1
  started_ns=$(date +%s%N)
  prog=$work/program
  local projects=$work/projects
  mkdir -p "$prog" "$projects"
  cp "$source_exe" "$prog/zarun"
  local vbp=$projects/x.vbp exe=$projects/hello.exe
  local catalogue=$prog/NewFile.zrd settings=$prog/ZARUN.ini
  printf 'Type=Exe\r\nForm=Form1.frm\r\nName="Hello"\r\nExeName32="hello.exe"\r\n' >"$vbp"
  printf '[Tools]\r\nHello=%s\r\n' "$vbp" >"$work/expected.zrd"
  # Keys in the order they are written; no Data key, as no catalogue dialog was used.
  printf '%s\r\n' '[Window]' 'MAXIMIZE=False' 'TOP=#' 'LEFT=#' 'HEIGHT=#' 'WIDTH=#' \
    '[Project]' 'WClick=1' 'ExeAuto=True' 'DragDrop=True' 'Sort=True' \
    '[Main]' "StartFile=$catalogue" 'Sort=True' '[Folder]' "Project=$projects" >"$work/expected.ini"
  : "${ZARUN_FAKE_IDE_LOG:?the private desktop sets it}"
  pid=
  trap '[ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; true' EXIT

  # xvfb-run may hand over before the server takes connections, mostly on a busy machine.
  wait_for "the X server on $DISPLAY" x getdisplaygeometry

  step "1. first start, no ZARUN.ini"
  [ ! -e "$settings" ] || fail "ZARUN.ini exists before the first start"
  start_program
  local main
  main=$(wait_window "ZARUN")
  # The window manager's icon for the window (X11's _NET_WM_ICON), from the program's own image.
  if command -v xprop >/dev/null; then
    wait_for "a 32x32 icon on the main window" has_icon "$main"
  fi
  [ -f "$settings" ] || fail "ZARUN.ini was not created at start-up"
  [ ! -s "$settings" ] || fail "ZARUN.ini is not empty after start-up: $(od -c "$settings" | head -n 3)"
  if compgen -G "$prog/temp*.vbp" >/dev/null; then fail "the IDE probe file was left in the program folder"; fi
  [ ! -e "$catalogue" ] || fail "NewFile.zrd exists before New"

  step "2. New (Alt+D, N)"
  menu "$main" d n
  wait_for "the caption \"ZARUN - (NewFile.zrd)\"" title_is "$main" "ZARUN - (NewFile.zrd)"
  [ ! -e "$catalogue" ] || fail "New wrote NewFile.zrd"

  step "3. add the category Tools (Alt+C, Enter on 追加)"
  menu "$main" c Return
  local box
  box=$(wait_window "ｶﾃｺﾞﾘｰ追加")
  x type --delay 20 "Tools"
  shot "category-name"
  x key Return
  wait_for "the input box to close" window_gone "ｶﾃｺﾞﾘｰ追加"

  step "4. add $vbp (Alt+P, Enter on 追加, type the path, Enter)"
  [ ! -e "$exe" ] || fail "the executable exists before the build"
  menu "$main" p Return
  box=$(wait_window "ﾌﾟﾛｼﾞｪｸﾄの追加")
  x type --delay 20 "$vbp"
  shot "add-project"
  x key Return
  wait_for "the add dialog to close" window_gone "ﾌﾟﾛｼﾞｪｸﾄの追加"
  wait_for "the stand-in IDE to build $exe" test -f "$exe"
  # The stand-in notes its call after writing the executable.
  wait_for "the stand-in IDE's call to be noted" build_calls_above 0
  local made
  made=$(build_calls)
  [ "$made" -eq 1 ] || fail "the IDE was asked $made times to build, expected once"

  step "5. Save (Alt+D, S)"
  menu "$main" d s
  wait_for "NewFile.zrd to hold the catalogue" file_is "$catalogue" "$work/expected.zrd"

  step "6. options (Alt+O): start-up file $catalogue, OK"
  focus "$main"
  x key alt+o
  box=$(wait_window "ZARUN 設定")
  # The text box of the start-up file, by its place in the dialog's twips layout (6660 x 3870):
  # left 1920, top 1020, 3975 wide, 315 high.
  eval "$(x getwindowgeometry --shell "$box")"
  x mousemove --window "$box" $((WIDTH * 3907 / 6660)) $((HEIGHT * 1177 / 3870)) click 1
  x key ctrl+a
  x type --delay 20 "$catalogue"
  shot "options"
  x key Return
  wait_for "the options dialog to close" window_gone "ZARUN 設定"

  step "7. quit (Alt+D, X)"
  quit_program "$main"
  settings_shape "$settings" >"$work/actual.ini"
  cmp -s "$work/actual.ini" "$work/expected.ini" ||
    fail "ZARUN.ini differs from the expected keys:$(diff <(cat -A "$work/expected.ini") <(cat -A "$work/actual.ini"))"
  file_is "$catalogue" "$work/expected.zrd" || fail "the shut-down save changed NewFile.zrd"
  cp "$settings" "$work/first.ini"

  step "8. start again: the start-up catalogue is open"
  start_program
  main=$(wait_window "ZARUN - (NewFile.zrd)")
  title_is "$main" "ZARUN - (NewFile.zrd)" || fail "wrong caption: $(x getwindowname "$main")"
  shot "second-start"
  # Project add is enabled only while a category is selected: loading selected Tools.
  menu "$main" p Return
  box=$(wait_window "ﾌﾟﾛｼﾞｪｸﾄの追加")
  x key Escape
  wait_for "the add dialog to close" window_gone "ﾌﾟﾛｼﾞｪｸﾄの追加"
  # The project row is there: a click in the project list's empty lower part gives it the focus,
  # Home selects the first row, and then Edit (the entry after Add) is enabled and opens.
  focus "$main"
  eval "$(x getwindowgeometry --shell "$main")"
  x mousemove --window "$main" $((WIDTH * 6 / 10)) $((HEIGHT * 8 / 10)) click 1
  x key Home
  menu "$main" p Down Return
  box=$(wait_window "ﾌﾟﾛｼﾞｪｸﾄ編集")
  shot "edit-project"
  x key Escape
  wait_for "the edit dialog to close" window_gone "ﾌﾟﾛｼﾞｪｸﾄ編集"
  quit_program "$main"
  # The shut-down save writes the loaded catalogue back: an unloaded one would empty the file.
  file_is "$catalogue" "$work/expected.zrd" ||
    fail "NewFile.zrd changed: $(od -c "$catalogue" | head -n 5)"
  cmp -s "$settings" "$work/first.ini" ||
    fail "ZARUN.ini changed on the second run:$(diff <(cat -A "$work/first.ini") <(cat -A "$settings"))"
  made=$(find "$ZARUN_FAKE_IDE_LOG" -name '*.args' | wc -l)
  [ "$made" -eq 1 ] || fail "the IDE was started $made times, expected once"
  step "done"
}

if [ "${1:-}" = --session ]; then
  work=$2
  session "$3"
  exit 0
fi

# ---------------------------------------------------------------------------------------------
# Outside: check the tools, make the folders, start the display and the private desktop.

[ $# -eq 2 ] || { echo "usage: $0 <zarun> <zarun_fake_ide>" >&2; exit 2; }
# Absolute: the session runs in other folders, and a desktop entry needs a full program path.
zarun=$(realpath -- "$1") ide=$(realpath -- "$2")
self=$(realpath -- "${BASH_SOURCE[0]}")
for tool in update-mime-database timeout; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian package shared-mime-info; see scripts/setup.sh)"
    exit 77
  fi
done
for program in "$zarun" "$ide"; do
  [ -x "$program" ] || { echo "FAIL: $program is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
# A virtual display with a window manager, as on a user's desktop (it skips when a tool is missing).
ZARUN_FAKE_IDE=$ide timeout -k 5 "$total_limit" \
  "$here/virtual_desktop.sh" "$work" "$root/scripts/with-fake-ide.sh" bash "$self" --session "$work" "$zarun" ||
  status=$?
if [ "$status" -eq 124 ]; then
  echo "FAIL: the session took longer than ${total_limit}s" >&2
fi
[ "$status" -eq 0 ] && echo "PASS: user session"
exit "$status"
