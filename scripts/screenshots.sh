#!/usr/bin/env bash
# Every screenshot the README and docs/ show, taken from the given build of the program on a virtual
# desktop with a window manager (Xvfb and openbox), with a generated sample catalogue; nothing is built:
#   scripts/screenshots.sh <zarun executable> <zarun_fake_ide> [<output folder, docs/ by default>]
# With ZARUN_SHOT_SCALE=2 the windows of the first part are taken at twice the size as well
# (*-2x.png, for a look; the README shows none of them). ZARUN_SHOTS_FIRST_PART_ONLY=1 stops after
# that first part.
#
# Writes, from its own session: main-window.png (the lead: statuses of several kinds, a category's
# count of projects needing attention), first-start.png (no catalogue yet: the list says what to do),
# options-dialog.png, options-project.png, options-ide.png, edit-dialog.png (a long path); then runs status-shots.sh,
# main-window-shots.sh, build-shots.sh (the build order in the progress window, with the stand-in IDE)
# and reference-shots.sh (参照不足 and 参照の一覧, against a prefix it makes: Wine is never started)
# for the rest.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 <zarun executable> <zarun_fake_ide> [<output folder>]" >&2; exit 2; }
here=$(dirname "$(realpath -- "${BASH_SOURCE[0]}")")
zarun=$(realpath -- "$1")
ide=$(realpath -- "$2")
out=$(mkdir -p "${3:-$here/../docs}" && realpath -- "${3:-$here/../docs}")
work=$(mktemp -d /tmp/zs.XXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/first"
cp "$zarun" "$work/bin/zarun"
cp "$zarun" "$work/first/zarun"

# project <folder under the sources> <.vbp name> <name> <state>: fresh (built after its sources),
# stale (a form newer than the executable), unbuilt, nosource (a listed form missing), missing (no .vbp).
project() {
  local dir=$work/home/tanaka/ドキュメント/VB6プロジェクト/$1 vbp=$2 name=$3 state=$4
  mkdir -p "$dir"
  echo "$dir/$vbp"
  [ "$state" = missing ] && return
  printf 'Type=Exe\r\nForm=frmMain.frm\r\nModule=modMain; modMain.bas\r\nName="%s"\r\nExeName32="%s.exe"\r\n' \
    "$name" "${vbp%.vbp}" >"$dir/$vbp"
  printf 'VERSION 5.00\r\n' >"$dir/frmMain.frm"
  [ "$state" = nosource ] || printf 'Attribute VB_Name = "modMain"\r\n' >"$dir/modMain.bas"
  touch -d '2024-03-01 10:00' "$dir"/*
  case $state in
    fresh | nosource) printf 'MZ' >"$dir/${vbp%.vbp}.exe"; touch -d '2024-03-02 10:00' "$dir/${vbp%.vbp}.exe" ;;
    stale) printf 'MZ' >"$dir/${vbp%.vbp}.exe"; touch -d '2024-02-01 10:00' "$dir/${vbp%.vbp}.exe" ;;
  esac
}

{
  printf '[業務システム]\r\n'
  printf '売上集計=%s\r\n' "$(project '業務システム/売上管理/Ver2.10/source' SalesReport.vbp SalesReport fresh)"
  printf '在庫管理=%s\r\n' "$(project '業務システム/在庫管理/2023年度改修/source' StockControl.vbp StockControl stale)"
  printf '顧客台帳=%s\r\n' "$(project '業務システム/顧客管理/CustomerLedger' CustomerLedger.vbp CustomerLedger unbuilt)"
  printf '請求書発行=%s\r\n' "$(project '業務システム/経理/請求書発行/InvoicePrinter' InvoicePrinter.vbp InvoicePrinter fresh)"
  printf '給与データ出力=%s\r\n' "$(project '業務システム/経理/給与/PayrollExport' PayrollExport.vbp PayrollExport nosource)"
  printf '旧受注入力=%s\r\n' "$(project '業務システム/旧システム/受注入力' OrderEntry.vbp OrderEntry missing)"
  printf '[ツール]\r\n'
  printf 'ファイル名一括変換=%s\r\n' "$(project 'ツール/BatchRename' BatchRename.vbp BatchRename fresh)"
  printf 'テキスト比較=%s\r\n' "$(project 'ツール/TextDiff/src' TextDiff.vbp TextDiff stale)"
  printf 'クリップボード監視=%s\r\n' "$(project 'ツール/ClipboardMonitor' ClipMon.vbp ClipMon fresh)"
  printf '[ゲーム]\r\n'
  printf '五目並べ=%s\r\n' "$(project 'ゲーム/五目並べ' Gomoku.vbp Gomoku fresh)"
  printf '落ち物パズル=%s\r\n' "$(project 'ゲーム/FallingBlocks/v1.3' Blocks.vbp Blocks unbuilt)"
  printf '[サンプル集]\r\n'
  printf 'ActiveX DLL の例=%s\r\n' "$(project 'サンプル/ActiveX DLL' AxDemo.vbp AxDemo fresh)"
} | iconv -f UTF-8 -t CP932 >"$work/Demo.zrd"
# 1000 x 640 with the frame; no widths of the user's: the columns fit what they show.
printf '[Window]\r\nMAXIMIZE=False\r\nTOP=1200\r\nLEFT=1500\r\nHEIGHT=9600\r\nWIDTH=15000\r\n[Main]\r\nStartFile=%s\r\n[Project]\r\nIdeCommand=%s %%f\r\n' \
  "$work/Demo.zrd" "$ide" >"$work/bin/ZARUN.ini"

cat >"$work/session.sh" <<'INNER'
set -euo pipefail
source "$HELPERS"
# A moment for the window to paint what it was just told; nothing tells when it has.
shot() { sleep 1; import -window root -crop "$(framed "$1")" +repage "$2"; }

# run <program folder> <suffix of the files>
run() {
  local bin=$1 suffix=$2 app win before dialog
  "$bin/zarun" &
  app=$!
  win=$(timeout 60 xdotool search --sync --onlyvisible --name '^ZARUN' | head -n 1)
  xdotool windowactivate --sync "$win" || true
  sleep 1.5
  if [ "$bin" = "$FIRST" ]; then
    shot "$win" "$OUT/first-start$suffix.png"
  else
    shot "$win" "$OUT/main-window$suffix.png"
    # The options dialog: its first page, then the IDE page (the third in its list).
    before=$(visible)
    xdotool key alt+o
    dialog=$(wait_new "$before")
    shot "$dialog" "$OUT/options-dialog$suffix.png"
    local x y w h
    read -r x y w h < <(area "$dialog")
    xdotool mousemove --sync $((x + w * 12 / 100)) $((y + h * 15 / 100)) click 1
    shot "$dialog" "$OUT/options-project$suffix.png"
    xdotool mousemove --sync $((x + w * 12 / 100)) $((y + h * 22 / 100)) click 1
    shot "$dialog" "$OUT/options-ide$suffix.png"
    xdotool key Escape
    # The edit dialog over the project with the longest path: the filter finds it, Down selects it.
    xdotool windowactivate --sync "$win" key ctrl+f
    xdotool type --delay 60 'Stock'
    sleep 0.5
    xdotool key Down
    before=$(visible)
    xdotool key F2
    dialog=$(wait_new "$before")
    shot "$dialog" "$OUT/edit-dialog$suffix.png"
    xdotool key Escape
  fi
  kill "$app"
  wait "$app" 2>/dev/null || true
}

run "$BIN" ""
run "$FIRST" ""
if [ "${ZARUN_SHOT_SCALE:-1}" != 1 ]; then
  export QT_SCALE_FACTOR=$ZARUN_SHOT_SCALE
  run "$BIN" "-${ZARUN_SHOT_SCALE}x"
  run "$FIRST" "-${ZARUN_SHOT_SCALE}x"
fi
INNER
BIN=$work/bin FIRST=$work/first OUT=$out HELPERS=$here/window-helpers.sh "$here/../tests/e2e/virtual_desktop.sh" "$work/desk" bash "$work/session.sh"
echo "wrote $out: main-window.png first-start.png options-dialog.png options-project.png options-ide.png edit-dialog.png"

[ -n "${ZARUN_SHOTS_FIRST_PART_ONLY:-}" ] && exit 0
"$here/status-shots.sh" "$zarun" "$out"
"$here/main-window-shots.sh" "$zarun" "$out"
"$here/build-shots.sh" "$zarun" "$ide" "$out"
"$here/reference-shots.sh" "$zarun" "$out"
