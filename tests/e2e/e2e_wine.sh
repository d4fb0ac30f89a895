#!/usr/bin/env bash
# The IDE under Wine, end to end, as a Wine user has it:
#   e2e_wine.sh <zarun executable>
# A Windows stand-in for the IDE (wine_ide.c, built here with mingw-w64) is installed in a fresh
# Wine prefix and registered for .vbp files through a Wine-style desktop entry
# (env WINEPREFIX=... wine "C:\VB98\VB6.EXE" %f) in private XDG folders. The real program, started
# under Xvfb with a catalogue on its command line, opens the project in the stand-in, builds it
# (the stand-in copies itself to the project's ExeName32: a real PE) and runs what was built
# through Wine. The project lies in a folder with blanks and Japanese characters.
# Exits 77 (skipped) when Wine, mingw-w64 or a tool of the virtual display is missing.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/x_helpers.sh"
root=$(cd "$here/../.." && pwd)

total_limit=${ZARUN_E2E_TIMEOUT:-480}
step_limit=${ZARUN_E2E_STEP_TIMEOUT:-60}

# ---------------------------------------------------------------------------------------------
# Inside the virtual display.

fail() {
  echo "FAIL: $*" >&2
  show_windows
  for log in "$work/zarun.log" "$ide_log"; do
    [ -s "$log" ] && { echo "--- $log:" >&2; cat "$log" >&2; }
  done
  exit 1
}

step() { printf '[%4ds] %s\n' $(($(date +%s) - started)) "$*"; }

lines() { [ -f "$1" ] && [ "$(wc -l <"$1")" -ge "$2" ]; }
is_pe() { [ -f "$1" ] && [ "$(head -c 2 "$1")" = MZ ]; }

session() {
  local zarun=$1
  started=$(date +%s)
  local prog=$work/program projects="$work/My 計算 Projects" ide_dir=$WINEPREFIX/drive_c/VB98
  ide_log=$ide_dir/calls.log
  pid=
  trap '[ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; wineserver -k 2>/dev/null; true' EXIT
  wait_for "the X server on $DISPLAY" x getdisplaygeometry

  step "1. a Wine prefix, and the stand-in IDE built with mingw-w64 as C:\\VB98\\VB6.EXE"
  timeout 300 wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot could not make the prefix: $(cat "$work/wineboot.log")"
  mkdir -p "$ide_dir"
  x86_64-w64-mingw32-gcc -municode -O2 -o "$ide_dir/VB6.EXE" "$here/wine_ide.c" || fail "mingw-w64 cannot build the stand-in"

  step "2. the desktop: .vbp files open in the IDE through a Wine-style desktop entry"
  local data=$XDG_DATA_HOME
  mkdir -p "$data/applications" "$data/mime/packages" "$XDG_CONFIG_HOME"
  cp "$root/packaging/zarun-mime.xml" "$data/mime/packages/"
  update-mime-database "$data/mime" >/dev/null
  # Exec quoting, then the desktop file's escape of backslashes: C:\VB98 is written C:\\\\VB98.
  cat >"$data/applications/wine-vb6.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Visual Basic 6.0
MimeType=text/x-vbproject;
Exec=env WINEPREFIX="$WINEPREFIX" wine "C:\\\\\\\\VB98\\\\\\\\VB6.EXE" %f
NoDisplay=true
DESKTOP
  printf '[Default Applications]\ntext/x-vbproject=wine-vb6.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"

  mkdir -p "$prog" "$projects"
  cp "$zarun" "$prog/zarun"
  local vbp=$projects/App.vbp exe=$projects/Calc.exe
  printf 'Type=Exe\r\nForm=Form1.frm\r\nName="App"\r\nExeName32="Calc.exe"\r\n' >"$vbp"
  printf '[Tools]\r\nApp=%s\r\n' "$vbp" | iconv -f UTF-8 -t CP932 >"$work/wine.zrd"
  local windows_vbp windows_projects windows_work
  windows_vbp=$(winepath -w "$vbp") windows_projects=$(winepath -w "$projects") windows_work=$(winepath -w "$work")

  step "3. zarun wine.zrd: the catalogue from the command line"
  (cd "$work" && exec "$prog/zarun" "$work/wine.zrd" >>"$work/zarun.log" 2>&1) &
  pid=$!
  wait_for "the main window with wine.zrd" window_shown "ZARUN - (wine.zrd)"
  local main
  main=$(window_id "ZARUN - (wine.zrd)")
  if command -v xprop >/dev/null; then
    wait_for "a 32x32 icon on the window" has_icon "$main"
  fi
  # A click in the project list's empty lower part gives it the focus; Home selects the project.
  x windowfocus --sync "$main"
  eval "$(x getwindowgeometry --shell "$main")"
  x mousemove --window "$main" $((WIDTH * 6 / 10)) $((HEIGHT * 8 / 10)) click 1
  x key Home

  step "4. open source (ﾌﾟﾛｼﾞｪｸﾄ, ソースを開く): the IDE gets the Windows path"
  menu "$main" p Down Down Down Down Return
  wait_for "the IDE to be started on the project" lines "$ide_log" 1
  [ "$(sed -n 1p "$ide_log")" = "$windows_work | $windows_vbp" ] || fail "the IDE was called as: $(sed -n 1p "$ide_log")"

  step "5. build (実行ファイル作成): /make and /out <log> after the project, the IDE writes Calc.exe and the log"
  menu "$main" p Down Down Down Down Down Down Down Return
  wait_for "the IDE to build $exe" lines "$ide_log" 2
  local logs=("$XDG_CACHE_HOME"/ZARUN/builds/*.log)
  [ ${#logs[@]} -eq 1 ] && [ -f "${logs[0]}" ] || fail "no single build log in $XDG_CACHE_HOME/ZARUN/builds: ${logs[*]}"
  [ "$(sed -n 2p "$ide_log")" = "$windows_work | $windows_vbp | /make | /out | $(winepath -w "${logs[0]}")" ] ||
    fail "the build called: $(sed -n 2p "$ide_log")"
  grep -q 'Build succeeded' "${logs[0]}" || fail "the log says: $(cat "${logs[0]}")"
  is_pe "$exe" || fail "$exe is no Windows program"

  step "6. run (実行ファイルを開く): the built program runs through Wine in its own folder"
  menu "$main" p Down Down Down Down Down Down Return
  wait_for "the built program to run" test -s "$projects/ran.txt"
  [ "$(cat "$projects/ran.txt")" = "$windows_projects" ] || fail "the program ran in $(cat "$projects/ran.txt")"

  step "7. no message box, quit"
  [ "$(x search --onlyvisible --name '^ZARUN$' | wc -l)" -eq 0 ] || fail "a message box is showing"
  menu "$main" d x
  wait_for "the program to end" process_ended "$pid"
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
  step "done"
}

if [ "${1:-}" = --session ]; then
  work=$2 ide_log=
  session "$3"
  exit 0
fi

# ---------------------------------------------------------------------------------------------
# Outside: check the tools, make the folders, start the display.

[ $# -eq 1 ] || { echo "usage: $0 <zarun>" >&2; exit 2; }
zarun=$(realpath -- "$1")
self=$(realpath -- "${BASH_SOURCE[0]}")
for tool in wine wineboot wineserver winepath x86_64-w64-mingw32-gcc xvfb-run xauth xdotool update-mime-database \
            iconv timeout flock; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed (Debian packages wine, mingw-w64, xvfb, xauth, xdotool, shared-mime-info)"
    exit 77
  fi
done
[ -x "$zarun" ] || { echo "FAIL: $zarun is missing" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/cache" "$work/runtime" "$work/tmp" "$work/data" "$work/config" "$work/empty"
chmod 700 "$work/runtime"

source "$(dirname "$self")/free_display.sh"
claim_display 700

status=0
# Nothing reaches the real home folder or the system's desktop; Wine's set-up windows stay off.
HOME=$work/home XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp \
  XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_DATA_DIRS=$work/empty XDG_CONFIG_DIRS=$work/empty \
  WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
  timeout -k 5 "$total_limit" \
  xvfb-run -n "$server" -s "-screen 0 1280x1024x24 -noreset" bash "$self" --session "$work" "$zarun" || status=$?
[ "$status" -eq 124 ] && echo "FAIL: the session took longer than ${total_limit}s" >&2
[ "$status" -eq 0 ] && echo "PASS: the IDE under Wine"
exit "$status"
