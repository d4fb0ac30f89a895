#!/usr/bin/env bash
# Screenshots of the reference check, taken from the real program on a virtual desktop with a window
# manager. The IDE command runs Wine in a prefix made here: the check only reads the prefix's
# registry as text and looks for the files it names, so neither Wine nor a real prefix is needed
# (nothing is built, so nothing starts Wine either):
#   scripts/reference-shots.sh <zarun executable> <output folder>
# Writes reference-missing.png (a project with a control not registered: 参照不足, with its tooltip)
# and reference-list.png (参照の一覧 for that project: each line with its state).
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <zarun executable> <output folder>" >&2; exit 2; }
zarun=$(realpath -- "$1")
out=$(mkdir -p "$2" && realpath -- "$2")
here=$(dirname "$(realpath -- "${BASH_SOURCE[0]}")")
work=$(mktemp -d /tmp/zr.XXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/src"
cp "$zarun" "$work/bin/zarun"

# The prefix: OLE Automation and the common dialog control registered with their files, ADO 2.8
# registered with its file gone; the common controls (MSCOMCTL.OCX) not registered at all.
prefix=$work/wine
mkdir -p "$prefix/drive_c/windows/system32" "$prefix/drive_c/VB98"
printf 'MZ' >"$prefix/drive_c/windows/system32/stdole2.tlb"
printf 'MZ' >"$prefix/drive_c/windows/system32/comdlg32.ocx"
printf 'MZ' >"$prefix/drive_c/VB98/VB6.EXE"
typelib() { # <GUID> <version> <Windows path>
  printf '[Software\\\\Classes\\\\Typelib\\\\{%s}\\\\%s\\\\0\\\\win32] 1700000000\n@="%s"\n\n' \
    "$1" "$2" "${3//\\/\\\\}"
}
{
  printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n'
  typelib 00020430-0000-0000-C000-000000000046 2.0 'C:\windows\system32\stdole2.tlb'
  typelib 2A75196C-D9EB-4129-B803-931327F72D5C 2.8 'C:\Program Files\Common Files\System\ado\msado28.tlb'
  typelib F9043C88-F6F2-101A-A3C9-08002B2F49FB 1.2 'C:\windows\system32\comdlg32.ocx'
} >"$prefix/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' \
  >"$prefix/user.reg"

# project <folder> <.vbp name> <name> <state> [<reference lines>...]: up to date or out of date;
# the lines go after Type= as the IDE writes them.
project() {
  local dir=$work/src/$1 vbp=$2 name=$3 state=$4
  shift 4
  mkdir -p "$dir"
  {
    printf 'Type=Exe\r\n'
    for line; do printf '%s\r\n' "$line"; done
    printf 'Form=frmMain.frm\r\nName="%s"\r\nExeName32="%s.exe"\r\n' "$name" "${vbp%.vbp}"
  } >"$dir/$vbp"
  printf 'VERSION 5.00\r\n' >"$dir/frmMain.frm"
  touch -d '2024-03-01 10:00' "$dir/$vbp" "$dir/frmMain.frm"
  printf 'MZ' >"$dir/${vbp%.vbp}.exe"
  case $state in
    fresh) touch -d '2024-03-02 10:00' "$dir/${vbp%.vbp}.exe" ;;
    stale) touch -d '2024-02-01 10:00' "$dir/${vbp%.vbp}.exe" ;;
  esac
  echo "$dir/$vbp"
}
stdole='Reference=*\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\WINDOWS\system32\stdole2.tlb#OLE Automation'
ado='Reference=*\G{2A75196C-D9EB-4129-B803-931327F72D5C}#2.8#0#C:\Program Files\Common Files\System\ado\msado28.tlb#Microsoft ActiveX Data Objects 2.8 Library'
comdlg='Object={F9043C88-F6F2-101A-A3C9-08002B2F49FB}#1.2#0; COMDLG32.OCX'
mscomctl='Object={831FDD16-0C5C-11D2-A9FC-0000F8754DA1}#2.0#0; MSCOMCTL.OCX'

{
  printf '[業務]\r\n'
  printf '売上集計=%s\r\n' "$(project sales Sales.vbp Sales fresh "$stdole" "$comdlg")"
  printf '顧客台帳=%s\r\n' "$(project customers Customers.vbp Customers fresh "$stdole" "$mscomctl" "$comdlg")"
  printf '在庫照会=%s\r\n' "$(project stock Stock.vbp Stock stale "$stdole")"
  printf '受注入力=%s\r\n' "$(project orders Orders.vbp Orders fresh "$stdole")"
} | iconv -f UTF-8 -t CP932 >"$work/src/Demo.zrd"
# The project whose list is shown has every state: OLE Automation and the common dialog there, ADO's
# file gone, the common controls not registered.
project orders Orders.vbp Orders fresh "$stdole" "$ado" "$mscomctl" "$comdlg" >/dev/null
# Against the screen's right edge: the status column's tooltip turns back into the window.
printf '[Window]\r\nMAXIMIZE=False\r\nTOP=600\r\nLEFT=6600\r\nHEIGHT=6000\r\nWIDTH=12600\r\n[Main]\r\nStartFile=%s\r\n[Project]\r\nIdeCommand=env WINEPREFIX=%s wine "C:\\VB98\\VB6.EXE" %%f\r\n' \
  "$work/src/Demo.zrd" "$prefix" >"$work/bin/ZARUN.ini"

cat >"$work/session.sh" <<'INNER'
set -euo pipefail
source "$HELPERS"
# shot <file> "X Y WIDTH HEIGHT"...: the smallest part of the screen holding them all, after a moment
# for the windows to paint what they were just told (nothing tells when they have).
shot() {
  local file=$1 x y w h left=99999 top=99999 right=0 bottom=0
  shift
  for box; do
    read -r x y w h <<<"$box"
    ((x < left)) && left=$x
    ((y < top)) && top=$y
    ((x + w > right)) && right=$((x + w))
    ((y + h > bottom)) && bottom=$((y + h))
  done
  sleep 1
  import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$file"
}

"$BIN/zarun" &
app=$!
win=$(timeout 60 xdotool search --sync --onlyvisible --name 'ZARUN - ' | head -n 1)
xdotool windowactivate --sync "$win"
sleep 1.5
read -r X Y W H < <(area "$win")
# The second row's status (the last column, at the right): selected, then the pointer rests on it.
rowy=$((Y + 113))
xdotool mousemove --sync $((X + 300)) "$rowy" click 1
before=$(visible)
xdotool mousemove --sync $((X + W - 60)) "$rowy"
tip=$(wait_new "$before")
shot "$OUT/reference-missing.png" "$(frame_box "$win")" "$(area "$tip")"
# 参照の一覧 of the fourth row (the tooltip lies over it: the keys), from the project menu (its last item).
xdotool key Down Down
before=$(visible)
xdotool key alt+p Up Return
dialog=$(wait_new "$before")
shot "$OUT/reference-list.png" "$(frame_box "$dialog")"
xdotool key Escape
xdotool windowactivate --sync "$win" key alt+d x
wait "$app"
INNER
BIN=$work/bin OUT=$out HELPERS=$here/window-helpers.sh "$here/../tests/e2e/virtual_desktop.sh" "$work/desk" bash "$work/session.sh"
echo "wrote $out/reference-missing.png $out/reference-list.png"
