#!/usr/bin/env bash
# Screenshots of the status column and the filter box, taken from the real program on a virtual
# desktop with a window manager:
#   scripts/status-shots.sh <zarun executable> <output folder>
# Writes status-column.png (a catalogue with a project in each state the files can give) and
# filtered-list.png (every category, narrowed by typing).
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 <zarun executable> <output folder>" >&2; exit 2; }
zarun=$(realpath -- "$1")
out=$(mkdir -p "$2" && realpath -- "$2")
here=$(dirname "$(realpath -- "${BASH_SOURCE[0]}")")
work=$(mktemp -d /tmp/zd.XXXX)
trap 'rm -rf "$work"' EXIT

# The program folder: a copy of the executable beside its own ZARUN.ini.
mkdir -p "$work/bin" "$work/src"
cp "$zarun" "$work/bin/zarun"

# project <folder> <.vbp name> <name> <state>: up to date, out of date (a form or the .vbp newer),
# no executable, or no .vbp at all.
project() {
  local dir=$work/src/$1 vbp=$2 name=$3 state=$4
  mkdir -p "$dir"
  [ "$state" = missing ] && { echo "$dir/$vbp"; return; }
  printf 'Type=Exe\r\nForm=frmMain.frm\r\nModule=basMain; basMain.bas\r\nName="%s"\r\nExeName32="%s.exe"\r\n' \
    "$name" "${vbp%.vbp}" >"$dir/$vbp"
  printf 'VERSION 5.00\r\n' >"$dir/frmMain.frm"
  printf 'x' >"$dir/frmMain.frx"
  printf 'Attribute VB_Name = "basMain"\r\n' >"$dir/basMain.bas"
  touch -d '2024-03-01 10:00' "$dir/$vbp" "$dir/frmMain.frm" "$dir/frmMain.frx" "$dir/basMain.bas"
  case $state in
    fresh) printf 'MZ' >"$dir/${vbp%.vbp}.exe"; touch -d '2024-03-02 10:00' "$dir/${vbp%.vbp}.exe" ;;
    stale) printf 'MZ' >"$dir/${vbp%.vbp}.exe"; touch -d '2024-03-02 10:00' "$dir/${vbp%.vbp}.exe"
           touch -d '2024-03-05 09:30' "$dir/frmMain.frm" ;;
    unbuilt) ;;
  esac
  echo "$dir/$vbp"
}

{
  printf '[ツール]\r\n'
  printf '電卓=%s\r\n' "$(project calc Calc.vbp Calc fresh)"
  printf 'メモ帳=%s\r\n' "$(project memo MemoPad.vbp MemoPad stale)"
  printf '時計=%s\r\n' "$(project clock Clock.vbp Clock unbuilt)"
  printf '旧ﾗﾝﾁｬｰ=%s\r\n' "$(project old Launcher.vbp Launcher missing)"
  printf 'ﾃｽﾄﾃﾞｰﾀ作成=%s\r\n' "$(project testdata TestData.vbp TestData fresh)"
  printf '[ゲーム]\r\n'
  printf 'パズル=%s\r\n' "$(project puzzle Puzzle.vbp Puzzle stale)"
  printf 'カードゲーム=%s\r\n' "$(project cards Cards.vbp Cards unbuilt)"
  printf 'テスト盤面=%s\r\n' "$(project board Board.vbp Board fresh)"
  printf '[業務]\r\n'
  printf '売上集計=%s\r\n' "$(project sales Sales.vbp Sales fresh)"
  printf '在庫テスト=%s\r\n' "$(project stock StockTest.vbp StockTest stale)"
} | iconv -f UTF-8 -t CP932 >"$work/src/Demo.zrd"
printf '[Window]\r\nMAXIMIZE=False\r\nTOP=600\r\nLEFT=600\r\nHEIGHT=7200\r\nWIDTH=14400\r\n[Main]\r\nStartFile=%s\r\n' \
  "$work/src/Demo.zrd" >"$work/bin/ZARUN.ini"

cat >"$work/session.sh" <<'INNER'
set -euo pipefail
"$BIN/zarun" &
app=$!
win=$(timeout 60 xdotool search --sync --onlyvisible --name 'ZARUN - ' | head -1)
xdotool windowactivate --sync "$win" || true
shot() { sleep 1; import -window "$win" -frame "$1"; }
sleep 1.5
shot "$OUT/status-column.png"
xdotool key ctrl+f
xdotool type --delay 80 'テスト'
sleep 0.3
# Tick "every category" with the keyboard: Tab from the box reaches the check box.
xdotool key Tab space
sleep 0.5
shot "$OUT/filtered-list.png"
kill "$app"
wait "$app" 2>/dev/null || true
INNER
BIN=$work/bin OUT=$out "$here/../tests/e2e/virtual_desktop.sh" "$work/desk" bash "$work/session.sh"
echo "wrote $out/status-column.png $out/filtered-list.png"
