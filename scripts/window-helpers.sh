# Shared by the screenshot sessions (sourced inside the virtual desktop): where the program's
# windows are, and waiting for a new one.

# The window's own area as "X Y WIDTH HEIGHT" on the screen.
area() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width:/ {w=$NF} /^ *Height:/ {h=$NF} END {print x, y, w, h}'
}
# The window with its frame as "X Y WIDTH HEIGHT".
frame_box() {
  local x y w h l r t b
  read -r x y w h < <(area "$1")
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}
# The same as an ImageMagick crop: WIDTHxHEIGHT+X+Y.
framed() {
  local x y w h
  read -r x y w h < <(frame_box "$1")
  echo "${w}x${h}+${x}+${y}"
}
visible() { xdotool search --onlyvisible --class zarun | sort; }
# Waits for a window of the program that was not in the list $1 and prints it.
wait_new() {
  local w
  for ((i = 0; i < 200; i++)); do
    w=$(comm -13 <(printf '%s\n' "$1") <(visible) | head -n 1)
    [ -n "$w" ] && { echo "$w"; return; }
    sleep 0.05
  done
  echo "FAIL: no new window" >&2
  exit 1
}
