#!/usr/bin/env bash
# Screenshots of a build over a category, taken from the real program on a virtual desktop with a
# window manager, with the stand-in IDE taking a second a build:
#   scripts/build-shots.sh <zarun executable> <zarun_fake_ide> <output folder> [dark]
# Writes build-progress.png (the progress window over the main window, halfway through) and
# build-summary.png (the message at the end). With "dark", on a dark colour scheme (a KDE colour
# scheme, read by Qt's own KDE platform theme).
set -euo pipefail
[ $# -ge 3 ] || { echo "usage: $0 <zarun executable> <zarun_fake_ide> <output folder> [dark]" >&2; exit 2; }
zarun=$(realpath -- "$1")
ide=$(realpath -- "$2")
out=$(mkdir -p "$3" && realpath -- "$3")
scheme=${4:-default}
here=$(dirname "$(realpath -- "${BASH_SOURCE[0]}")")
work=$(mktemp -d /tmp/zb.XXXX)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/bin" "$work/src"
cp "$zarun" "$work/bin/zarun"

# project <folder> <name> <state>: no executable, or one older than the form, or one up to date.
project() {
  local dir=$work/src/$1 name=$2 state=$3
  mkdir -p "$dir"
  printf 'Type=Exe\r\nForm=frmMain.frm\r\nName="%s"\r\nExeName32="%s.exe"\r\n' "$name" "$name" >"$dir/$name.vbp"
  printf 'VERSION 5.00\r\n' >"$dir/frmMain.frm"
  touch -d '2024-03-01 10:00' "$dir/$name.vbp" "$dir/frmMain.frm"
  case $state in
    fresh) printf 'MZ' >"$dir/$name.exe"; touch -d '2024-03-02 10:00' "$dir/$name.exe" ;;
    stale) printf 'MZ' >"$dir/$name.exe"; touch -d '2024-02-01 10:00' "$dir/$name.exe" ;;
  esac
  echo "$dir/$name.vbp"
}

{
  printf '[ゲーム]\r\n'
  printf 'パズル=%s\r\n' "$(project puzzle Puzzle stale)"
  printf 'カードゲーム=%s\r\n' "$(project cards Cards unbuilt)"
  printf 'テスト盤面=%s\r\n' "$(project board Board fresh)"
  printf 'オセロ=%s\r\n' "$(project othello Othello unbuilt)"
  printf '五目並べ=%s\r\n' "$(project gomoku Gomoku stale)"
  printf 'マインスイーパー=%s\r\n' "$(project mines Mines unbuilt)"
  printf '[ツール]\r\n'
  printf '電卓=%s\r\n' "$(project calc Calc fresh)"
} | iconv -f UTF-8 -t CP932 >"$work/src/Demo.zrd"
printf '[Window]\r\nMAXIMIZE=False\r\nTOP=600\r\nLEFT=600\r\nHEIGHT=9600\r\nWIDTH=12000\r\n[Main]\r\nStartFile=%s\r\n[Project]\r\nIdeCommand=%s %%f\r\n' \
  "$work/src/Demo.zrd" "$ide" >"$work/bin/ZARUN.ini"

cat >"$work/session.sh" <<'INNER'
set -euo pipefail
if [ "$SCHEME" = dark ]; then
  mkdir -p "$XDG_CONFIG_HOME"
  cp "$DARK_COLOURS" "$XDG_CONFIG_HOME/kdeglobals"
  export XDG_CURRENT_DESKTOP=KDE KDE_SESSION_VERSION=5 QT_QPA_PLATFORMTHEME=kde
fi
"$BIN/zarun" &
app=$!
# Each wait has an end: a window that never comes stops the script rather than hanging it.
win=$(timeout 60 xdotool search --sync --onlyvisible --name 'ZARUN - ' | head -1)
[ -n "$win" ] || { echo "build-shots: the main window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$win" || true
sleep 1.5
# ｶﾃｺﾞﾘｰ(&C), past 追加, 編集 and 削除 to the build of the category.
xdotool key alt+c
sleep 0.5
xdotool key Down Down Down Return
sleep 2.6
# The screen where the main window's frame lies: the windows over it are in the picture too.
frame=$win
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
while parent=$(xwininfo -tree -id "$frame" | awk '/Parent window id:/ {print $4}') && [ "$parent" != "$root" ]; do
  frame=$parent
done
shot() {
  local info x y w h
  info=$(xwininfo -id "$frame")
  x=$(awk '/Absolute upper-left X:/ {print $4}' <<<"$info") y=$(awk '/Absolute upper-left Y:/ {print $4}' <<<"$info")
  w=$(awk '/Width:/ {print $2}' <<<"$info") h=$(awk '/Height:/ {print $2}' <<<"$info")
  import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
}
shot "$OUT/build-progress.png"
box=$(timeout 120 xdotool search --sync --onlyvisible --name '^ZARUN$' | head -1)
[ -n "$box" ] || { echo "build-shots: no summary after the category build" >&2; kill "$app"; exit 1; }
sleep 0.5
shot "$OUT/build-summary.png"
xdotool windowactivate --sync "$box" key Return || true
sleep 0.5
kill "$app"
wait "$app" 2>/dev/null || true
INNER
export ZARUN_FAKE_IDE_DELAY_MS=1000 ZARUN_FAKE_IDE_FAIL=gomoku
BIN=$work/bin OUT=$out SCHEME=$scheme DARK_COLOURS=$here/dark-colours.kdeglobals "$here/../tests/e2e/virtual_desktop.sh" "$work/desk" bash "$work/session.sh"
echo "wrote $out/build-progress.png $out/build-summary.png"
