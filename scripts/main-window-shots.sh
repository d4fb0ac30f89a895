#!/usr/bin/env bash
# Screenshots of the main window and the options dialog, taken from the real program on a virtual
# desktop with a window manager, on the default palette and on a dark one (a KDE colour scheme, read by
# Qt's own KDE platform theme):
#   scripts/main-window-shots.sh <zarun executable> <output folder>
# Writes main-window-long-paths.png (1200 x 700, a catalogue with long paths, the split and columns
# widened as a user would), project-menu.png (the pop-up menu after a right click on a row),
# options-dialog-light.png, options-dialog-dark.png and main-window-dark.png.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <zarun executable> <output folder>" >&2; exit 2; }
zarun=$(realpath -- "$1")
out=$(mkdir -p "$2" && realpath -- "$2")
here=$(dirname "$(realpath -- "${BASH_SOURCE[0]}")")
work=$(mktemp -d /tmp/zm.XXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin"
cp "$zarun" "$work/bin/zarun"

# project <folder under the sources> <.vbp name> <name> <built: yes/no>
project() {
  local dir=$work/home/tanaka/ドキュメント/VB6プロジェクト/$1 vbp=$2 name=$3
  mkdir -p "$dir"
  printf 'Type=Exe\r\nForm=frmMain.frm\r\nName="%s"\r\nExeName32="%s.exe"\r\n' "$name" "${vbp%.vbp}" >"$dir/$vbp"
  printf 'VERSION 5.00\r\n' >"$dir/frmMain.frm"
  touch -d '2024-03-01 10:00' "$dir/$vbp" "$dir/frmMain.frm"
  if [ "$4" = yes ]; then
    printf 'MZ' >"$dir/${vbp%.vbp}.exe"
    touch -d '2024-03-02 10:00' "$dir/${vbp%.vbp}.exe"
  fi
  echo "$dir/$vbp"
}

{
  printf '[業務システム]\r\n'
  printf '売上集計=%s\r\n' "$(project '業務システム/売上管理/Ver2.10/source' SalesReport.vbp SalesReport yes)"
  printf '在庫管理=%s\r\n' "$(project '業務システム/在庫管理/2023年度改修/source' StockControl.vbp StockControl yes)"
  printf '顧客台帳=%s\r\n' "$(project '業務システム/顧客管理/CustomerLedger' CustomerLedger.vbp CustomerLedger no)"
  printf '請求書発行=%s\r\n' "$(project '業務システム/経理/請求書発行/InvoicePrinter' InvoicePrinter.vbp InvoicePrinter yes)"
  printf 'Payroll Export=%s\r\n' "$(project 'Business/Payroll/Export Tool (2019)' PayrollExport.vbp PayrollExport yes)"
  printf '[ツール]\r\n'
  printf 'ファイル名一括変換=%s\r\n' "$(project 'ツール/BatchRename' BatchRename.vbp BatchRename yes)"
  printf 'テキスト比較=%s\r\n' "$(project 'ツール/TextDiff/src' TextDiff.vbp TextDiff yes)"
  printf 'Clipboard Monitor=%s\r\n' "$(project 'Tools/Clipboard Monitor' ClipMon.vbp ClipMon no)"
  printf '[ゲーム]\r\n'
  printf '五目並べ=%s\r\n' "$(project 'ゲーム/五目並べ' Gomoku.vbp Gomoku yes)"
  printf 'Falling Blocks=%s\r\n' "$(project 'Games/Falling Blocks/v1.3' Blocks.vbp Blocks yes)"
  printf '[サンプル集]\r\n'
  printf 'ActiveX DLL の例=%s\r\n' "$(project 'Samples/ActiveX DLL' AxDemo.vbp AxDemo yes)"
} | iconv -f UTF-8 -t CP932 >"$work/Demo.zrd"
# 1200 x 700 with the frame; the split and the columns as a user widened them.
printf '[Window]\r\nMAXIMIZE=False\r\nTOP=900\r\nLEFT=600\r\nHEIGHT=10500\r\nWIDTH=18000\r\n[Main]\r\nStartFile=%s\r\n' \
  "$work/Demo.zrd" >"$work/bin/ZARUN.ini"
printf '[Column]\r\nCategoryList=2400\r\nProjectName=2250\r\nFileName=2250\r\nPath=7200\r\nExeName=2100\r\n' \
  >>"$work/bin/ZARUN.ini"

cat >"$work/session.sh" <<'INNER'
set -euo pipefail
source "$HELPERS"
# A moment for the window to paint what it was just told; nothing tells when it has.
shot() { sleep 0.7; import -window root -crop "$(framed "$1")" +repage "$2"; }

# run <suffix>: one start of the program; light or dark.
run() {
  "$BIN/zarun" &
  local app=$! win before menu dialog X Y W H
  win=$(timeout 60 xdotool search --sync --onlyvisible --name 'ZARUN - ' | head -n 1)
  xdotool windowactivate --sync "$win"
  read -r X Y W H < <(area "$win")
  # A row of the project list: the third, well inside the list.
  local rowx=$((X + 320)) rowy=$((Y + 133))
  xdotool mousemove --sync "$rowx" "$rowy" click 1
  xdotool mousemove --sync $((X + 1100)) $((Y + 600))
  if [ "$1" = light ]; then
    shot "$win" "$OUT/main-window-long-paths.png"
    before=$(visible)
    xdotool mousemove --sync "$rowx" $((rowy + 21)) click 3
    menu=$(wait_new "$before")
    shot "$win" "$OUT/project-menu.png"
    xdotool key Escape
  else
    shot "$win" "$OUT/main-window-dark.png"
  fi
  before=$(visible)
  xdotool key alt+o
  dialog=$(wait_new "$before")
  shot "$dialog" "$OUT/options-dialog-$1.png"
  xdotool key Escape
  xdotool windowactivate --sync "$win" key alt+d x
  wait "$app"
}

run light
mkdir -p "$XDG_CONFIG_HOME"
cp "$DARK_COLOURS" "$XDG_CONFIG_HOME/kdeglobals"
XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 QT_QPA_PLATFORMTHEME=kde run dark
INNER
BIN=$work/bin OUT=$out DARK_COLOURS=$here/dark-colours.kdeglobals HELPERS=$here/window-helpers.sh "$here/../tests/e2e/virtual_desktop.sh" "$work/desk" bash "$work/session.sh"
echo "wrote $out: main-window-long-paths.png project-menu.png options-dialog-light.png options-dialog-dark.png main-window-dark.png"
