#!/usr/bin/env bash
# The IDE under Wine, end to end, as a Wine user has it:
#   e2e_wine.sh <zarun executable>
# A Windows stand-in for the IDE (wine_ide.c, built here with mingw-w64) is installed in a fresh
# Wine prefix and registered for .vbp files through a Wine-style desktop entry
# (env WINEPREFIX=... wine "C:\VB98\VB6.EXE" %f) in private XDG folders. The real program, started
# under Xvfb with a catalogue on its command line, opens the project in the stand-in, builds it
# (the stand-in copies itself to the project's ExeName32: a real PE) and runs what was built
# through Wine. The project lies in a folder with blanks and Japanese characters. A project copied
# from Windows has CASEP.EXE on disk for its ExeName32="CaseP.exe": Wine rebuilds it in place and Run
# finds it. A category build is cancelled while a Windows child of the IDE (a "linker") writes: it
# ends with the IDE. Then an IDE command naming a Windows path the prefix lacks fails: Wine's error
# reaches the build's log, and the message naming the cause is shown. Before that, a catalogue of
# projects referencing a control registered in the prefix, one that is not (参照不足) and a DLL
# listed after the project that uses it: the DLL is built first, by the window and by zarun build.
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

# Enter on the program's message until none is shown: the window found first may be one that is
# just going (the build's preparation), and Enter then reaches another.
close_message() {
  local tries=0 id
  while id=$(window_id ZARUN) && [ -n "$id" ]; do
    [ $((tries += 1)) -le 10 ] || fail "$1 did not close"
    x windowfocus --sync "$id" || true
    x key Return
    for _ in $(seq 40); do
      [ -z "$(window_id ZARUN)" ] && break
      sleep 0.05
    done
  done
}
is_pe() { [ -f "$1" ] && [ "$(head -c 2 "$1")" = MZ ]; }
newer_than() { [ -f "$1" ] && [ "$(stat -c %Y "$1")" -gt "$2" ]; }
# No process's command line holds the text (Wine shows a Windows process's own there).
no_process_with() { ! grep -qas -- "$1" /proc/[0-9]*/cmdline; }
start_zarun() {
  local catalogue=${1:-wine.zrd}
  (cd "$work" && exec "$prog/zarun" "$work/$catalogue" >>"$work/zarun.log" 2>&1) &
  pid=$!
  wait_for "the main window with $catalogue" window_shown "ZARUN - ($catalogue)"
  main=$(window_id "ZARUN - ($catalogue)")
}
traced() { grep -q -- "$1" "$work/trace.log" 2>/dev/null; }
# The line of the IDE's log that builds the project (Windows path's end), 0 for none.
built_at() { grep -nF -- "$1 | /make" "$ide_log" | head -n 1 | cut -d: -f1 || true; }
quit_zarun() {
  menu "$main" d x
  wait_for "the program to end" process_ended "$pid"
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "the program ended with status $status"
}

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
  # Copied from Windows: the executable's name on disk in capitals, older than the project.
  local casep=$projects/CaseP
  mkdir -p "$casep"
  printf 'Type=Exe\r\nName="CaseP"\r\nExeName32="CaseP.exe"\r\n' >"$casep/CaseP.vbp"
  cp "$ide_dir/VB6.EXE" "$casep/CASEP.EXE"
  touch -d '2020-01-01 10:00' "$casep/CASEP.EXE"
  local slow=$projects/Linker
  mkdir -p "$slow"
  printf 'Type=Exe\r\nName="Linker"\r\nExeName32="Linker.exe"\r\n' >"$slow/Linker.vbp"
  printf '[Tools]\r\nApp=%s\r\nCaseP=%s\r\nLinker=%s\r\n' "$vbp" "$casep/CaseP.vbp" "$slow/Linker.vbp" |
    iconv -f UTF-8 -t CP932 >"$work/wine.zrd"
  local windows_vbp windows_projects windows_work
  windows_vbp=$(winepath -w "$vbp") windows_projects=$(winepath -w "$projects") windows_work=$(winepath -w "$work")

  step "3. zarun wine.zrd: the catalogue from the command line"
  local main
  start_zarun
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
  # The IDE writes /out beside the log; the log is made of that and Wine's output once it has ended.
  wait_for "the build's log" compgen -G "$XDG_CACHE_HOME/ZARUN/builds/*.log"
  local logs=("$XDG_CACHE_HOME"/ZARUN/builds/*.log)
  [ ${#logs[@]} -eq 1 ] && [ -f "${logs[0]}" ] || fail "no single build log in $XDG_CACHE_HOME/ZARUN/builds: ${logs[*]}"
  [ "$(sed -n 2p "$ide_log")" = "$windows_work | $windows_vbp | /make | /out | $(winepath -w "${logs[0]}.out")" ] ||
    fail "the build called: $(sed -n 2p "$ide_log")"
  grep -q 'Build succeeded' "${logs[0]}" || fail "the log says: $(cat "${logs[0]}")"
  is_pe "$exe" || fail "$exe is no Windows program"

  step "6. run (実行ファイルを開く): the built program runs through Wine in its own folder"
  menu "$main" p Down Down Down Down Down Down Return
  wait_for "the built program to run" test -s "$projects/ran.txt"
  [ "$(cat "$projects/ran.txt")" = "$windows_projects" ] || fail "the program ran in $(cat "$projects/ran.txt")"

  step "7. CASEP.EXE on disk for ExeName32=\"CaseP.exe\": built in place through Wine, then run"
  x key Down
  local before
  before=$(stat -c %Y "$casep/CASEP.EXE")
  menu "$main" p Down Down Down Down Down Down Down Return
  wait_for "the IDE to build CaseP" lines "$ide_log" 3
  newer_than "$casep/CASEP.EXE" "$before" || fail "CASEP.EXE was not rebuilt: $(ls -l "$casep")"
  [ "$(ls "$casep" | grep -ic '^casep\.exe$')" -eq 1 ] || fail "a second executable was made: $(ls "$casep")"
  # A build judged failed, or an executable not found, would show a message box.
  menu "$main" p Down Down Down Down Down Down Return
  wait_for "CASEP.EXE to run" test -s "$casep/ran.txt"
  [ "$(x search --onlyvisible --name '^ZARUN$' | wc -l)" -eq 0 ] || fail "a message box is showing"

  step "8. build the category; cancel while the IDE's Windows child (a linker) writes"
  menu "$main" c Down Down Down Return
  wait_for "the linker to write" test -s "$slow/linker.txt"
  local progress cancelled
  progress=$(window_id "実行ﾌｧｲﾙ作成　[Tools]")
  [ -n "$progress" ] || fail "no progress window"
  x windowfocus --sync "$progress"
  x key Escape
  cancelled=$(date +%s)
  wait_for "the linker to end" no_process_with /linker
  step "   the linker was gone $(($(date +%s) - cancelled))s after the cancel"
  wait_for "the summary" window_shown ZARUN
  close_message "the summary"
  local size
  size=$(stat -c %s "$slow/linker.txt")
  [ ! -e "$slow/Linker.exe" ] || fail "the cancelled build made Linker.exe"
  quit_zarun
  [ "$(stat -c %s "$slow/linker.txt")" -eq "$size" ] || fail "linker.txt still grows after the cancel"

  step "9. references: a control registered in the prefix and one that is not; a DLL built before its user"
  local good_guid=6E2A1C30-55D1-4C8B-9A3E-2F1B7C9D0E11 lib_guid=6E2A1C30-55D1-4C8B-9A3E-2F1B7C9D0E12 refs=$work/refs
  # Registered as a control's installer does, for 32-bit programs; its file where they find system32.
  wine reg add "HKLM\\Software\\Classes\\TypeLib\\{$good_guid}\\1.0\\0\\win32" /ve /d 'C:\windows\system32\Good.ocx' /f \
    >"$work/reg.log" 2>&1 || fail "reg add: $(cat "$work/reg.log")"
  wineserver -w # the registry files are written when the server ends
  mkdir -p "$WINEPREFIX/drive_c/windows/syswow64"
  cp "$ide_dir/VB6.EXE" "$WINEPREFIX/drive_c/windows/syswow64/Good.ocx"
  mkdir -p "$refs/Good" "$refs/Bad" "$refs/UsesLib" "$refs/Lib"
  printf 'Type=Exe\r\nObject={%s}#1.0#0; Good.ocx\r\nName="Good"\r\nExeName32="Good.exe"\r\n' "$good_guid" >"$refs/Good/Good.vbp"
  printf 'Type=Exe\r\nObject={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX\r\nName="Bad"\r\nExeName32="Bad.exe"\r\n' \
    >"$refs/Bad/Bad.vbp"
  printf 'Type=Exe\r\nReference=*\\G{%s}#1.0#0#..\\Lib\\Lib.dll#Lib\r\nName="UsesLib"\r\nExeName32="UsesLib.exe"\r\n' \
    "$lib_guid" >"$refs/UsesLib/UsesLib.vbp"
  printf 'Type=OleDll\r\nName="Lib"\r\nExeName32="Lib.dll"\r\n' >"$refs/Lib/Lib.vbp"
  printf '[Refs]\r\nGood=%s\r\nBad=%s\r\nUsesLib=%s\r\nLib=%s\r\n' "$refs/Good/Good.vbp" "$refs/Bad/Bad.vbp" \
    "$refs/UsesLib/UsesLib.vbp" "$refs/Lib/Lib.vbp" >"$work/refs.zrd"
  ZARUN_TRACE=$work/trace.log ZARUN_TRACE_STATUSES=1 start_zarun refs.zrd
  wait_for "Good to show 未作成" traced "status 未作成 $refs/Good/Good.vbp"
  wait_for "Bad to show 参照不足" traced "status 参照不足 $refs/Bad/Bad.vbp"
  ! traced "status 参照不足 $refs/Good/Good.vbp" || fail "a registered control counted as missing"
  local calls
  calls=$(wc -l <"$ide_log")
  menu "$main" c Down Down Down Return
  wait_for "the category's four builds" lines "$ide_log" $((calls + 4))
  local lib_at uses_at
  lib_at=$(built_at '\Lib\Lib.vbp') uses_at=$(built_at '\UsesLib\UsesLib.vbp')
  [ "${lib_at:-0}" -gt 0 ] && [ "${uses_at:-0}" -gt "$lib_at" ] ||
    fail "Lib.dll was not built before the project using it: $(tail -n 4 "$ide_log")"
  is_pe "$refs/Lib/Lib.dll" || fail "no Lib.dll"
  wait_for "the summary" window_shown ZARUN
  close_message "the summary"
  quit_zarun

  step "9b. the CI recipe's own commands: zarun status and zarun build without a window, the DLL built first"
  # The lines of docs/ci/gitlab-ci.yml as they are; the GitHub workflow must say the same.
  local recipe=$root/docs/ci/gitlab-ci.yml status_line build_line
  status_line=$(sed -n 's/^    - \(zarun status .*\)$/\1/p' "$recipe")
  build_line=$(sed -n 's/^    - \(.*zarun build .*\)$/\1/p' "$recipe")
  [ -n "$status_line" ] && [ -n "$build_line" ] || fail "no zarun lines in $recipe"
  local matrix_category='"${{ matrix.category }}"' quoted_category='"$CATEGORY"'
  grep -qF -- "$status_line" "$root/docs/ci/github-actions.yml" &&
    grep -qF -- "${build_line//"$quoted_category"/$matrix_category}" "$root/docs/ci/github-actions.yml" ||
    fail "the GitHub workflow runs other commands than $recipe"
  recipe_run() { # <line> [env options]
    local line=$1
    shift
    (cd "$work" && env "$@" -u QT_QPA_PLATFORM PATH="$prog:$PATH" CATALOGUE=refs.zrd CATEGORY=Refs bash -euc "$line")
  }
  local report=$work/report.xml rc=0
  recipe_run "$status_line" -u DISPLAY >"$work/status.out" 2>"$work/status.err" || rc=$?
  [ "$rc" -eq 1 ] || fail "status --check ended with $rc: $(cat "$work/status.err")"
  grep -qP '^Refs\tBad\t.*\treference-missing\t.*MSCOMCTL.OCX' "$work/status.tsv" || fail "Bad: $(cat "$work/status.tsv")"
  ! grep -qP '^Refs\tGood\t.*\treference-missing' "$work/status.tsv" || fail "Good: $(cat "$work/status.tsv")"
  rm -f "$refs/Lib/Lib.dll" "$refs/UsesLib/UsesLib.exe"
  calls=$(wc -l <"$ide_log")
  recipe_run "$build_line" >"$work/build.out" 2>"$work/build.err" || fail "zarun build: $(cat "$work/build.err")"
  lib_at=$(grep -n 'name="Lib"' "$report" | cut -d: -f1) uses_at=$(grep -n 'name="UsesLib"' "$report" | cut -d: -f1)
  [ "${lib_at:-0}" -gt 0 ] && [ "${uses_at:-0}" -gt "$lib_at" ] || fail "the report's order: $(cat "$report")"
  [ "$(wc -l <"$ide_log")" -eq $((calls + 2)) ] || fail "not two builds: $(tail -n 4 "$ide_log")"
  is_pe "$refs/Lib/Lib.dll" && is_pe "$refs/UsesLib/UsesLib.exe" || fail "zarun build made no executables"

  step "10. an IDE command naming a Windows path the prefix lacks: Wine's error in the log, the cause told"
  local ini=$prog/ZARUN.ini line
  line="IdeCommand=env WINEPREFIX=$WINEPREFIX wine \"C:\\VB98\\VB6X.EXE\""
  [ -f "$ini" ] || fail "no $ini"
  if grep -q '^\[Project\]' "$ini"; then
    LINE=$line awk '{ print } /^\[Project\]/ { printf "%s\r\n", ENVIRON["LINE"] }' "$ini" >"$ini.new"
  else
    { cat "$ini"; printf '[Project]\r\n%s\r\n' "$line"; } >"$ini.new"
  fi
  mv "$ini.new" "$ini"
  start_zarun
  x windowfocus --sync "$main"
  eval "$(x getwindowgeometry --shell "$main")"
  x mousemove --window "$main" $((WIDTH * 6 / 10)) $((HEIGHT * 8 / 10)) click 1
  x key Home
  menu "$main" p Down Down Down Down Down Down Down Return
  # The log first: a window found before the build ended may be its preparation's.
  wait_for "Wine's error in the log" grep -q 'failed to open' "${logs[0]}"
  wait_for "the cause told in the log" grep -q 'VB6X.EXE  がWineのﾌﾟﾚﾌｨｯｸｽ' "${logs[0]}"
  wait_for "the failure to be told" window_shown ZARUN
  close_message "the message"

  step "11. quit"
  quit_zarun
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
