#!/usr/bin/env bash
# Catalogue changes that run out of room: the command says so (naming the file), the old file stays
# byte for byte and no temporary file is left behind.
#   disk_full.sh <fault_command> tmpfs      a 64 KiB tmpfs, filled up (needs root; skips with 77)
#   disk_full.sh <fault_command> filesize   a file size limit (RLIMIT_FSIZE, SIGXFSZ ignored)
set -euo pipefail
driver=$1 how=$2
work=$(mktemp -d)
mnt="$work/mnt"
cleanup() {
  if mountpoint -q "$mnt" 2>/dev/null; then umount "$mnt"; fi
  rm -rf "$work"
}
trap cleanup EXIT
# Backups of the catalogue and the kept looks go here, not to the home folder.
export XDG_STATE_HOME="$work/state" XDG_CACHE_HOME="$work/cache"

# The old catalogue: 20 categories of 10 projects, CR LF as the program writes it.
make_old() {
  for ((c = 0; c < 20; c++)); do
    printf '[Category%02d]\r\n' "$c"
    for ((p = 0; p < 10; p++)); do printf 'Project%02d=/home/user/src/c%d/p%d/Project%d.vbp\r\n' "$p" "$c" "$p" "$p"; done
  done > "$1"
}
make_old "$work/old"
# Settings as a previous run left them.
printf '[Window]\r\nMAXIMIZE=False\r\nTOP=1200\r\nLEFT=2400\r\nHEIGHT=6000\r\nWIDTH=8000\r\n[Project]\r\nWClick=1\r\nExeAuto=False\r\nDragDrop=True\r\nSort=True\r\n[Main]\r\nSort=True\r\n' > "$work/ini"
old_size=$(stat -c %s "$work/old")
# What the same change writes where there is room.
mkdir "$work/roomy"
cp "$work/old" "$work/roomy/Tools.zrd"
"$driver" add "$work/roomy/Tools.zrd" 20 > /dev/null 2>> "$work/stderr"
new_size=$(stat -c %s "$work/roomy/Tools.zrd")

folder=
if [ "$how" = tmpfs ]; then
  mkdir "$mnt"
  if ! mount -t tmpfs -o size=64k tmpfs "$mnt" 2> "$work/mount.err"; then
    echo "SKIP: cannot mount a tmpfs here ($(tr -d '\n' < "$work/mount.err")); run as root with mount permission" >&2
    exit 77
  fi
  folder=$mnt
else
  folder="$work/limited"
  mkdir "$folder"
fi
target="$folder/Tools.zrd"
limit_blocks=4 # 4 KiB: less than the old file, let alone the new one

free_bytes() { echo $(( $(stat -f -c '%a' "$folder") * $(stat -f -c '%S' "$folder") )); }

# Puts the old file back and takes away the room: all of it, or all but $1 bytes.
prepare() {
  rm -f "$folder"/* "$folder"/.[!.]* 2>/dev/null || true
  cp "$work/old" "$target"
  cp "$work/ini" "$folder/ZARUN.ini"
  if [ "$how" = tmpfs ]; then
    dd if=/dev/zero of="$folder/filler" bs=4096 2>/dev/null || true
    if [ "$1" -gt 0 ]; then truncate -s "-$1" "$folder/filler"; fi
    sync
  fi
}

run() {
  if [ "$how" = tmpfs ]; then
    "$driver" "$@" 2>> "$work/stderr"
  else
    # Through a pipe: the limit would stop the output to a file too.
    (ulimit -S -f "${blocks:-$limit_blocks}"; trap '' XFSZ; exec "$driver" "$@" 2> /dev/null) | cat
  fi
}

if [ "$how" = tmpfs ]; then
  room() { echo "tmpfs of 64 KiB with $(free_bytes) bytes free"; }
else
  room() { echo "file size limit of $((${blocks:-$limit_blocks} * 1024)) bytes"; }
fi

bad=0
# check <label> <output file> <expected message> [old|new]: the message, the result, the file, no leftovers.
check() {
  local label=$1 out=$2 message=$3 expect=${4:-old}
  local leftovers reported=no intact=no
  leftovers=$(find "$folder" -mindepth 1 -maxdepth 1 ! -name Tools.zrd ! -name ZARUN.ini ! -name filler | wc -l)
  if grep -q "^message: " "$out" && grep -F "message: $message" "$out" | grep -q .; then reported=yes; fi
  if [ "$expect" = old ] && cmp -s "$target" "$work/old"; then intact=yes; fi
  if [ "$expect" = new ] && cmp -s "$target" "$work/roomy/Tools.zrd"; then intact=yes; fi
  echo "$label: failure reported $reported, file $expect byte for byte $intact ($(stat -c %s "$target") bytes), temporary files left $leftovers"
  if [ "$reported" != yes ] || [ "$intact" != yes ] || [ "$leftovers" -ne 0 ]; then
    sed 's/^/    /' "$out"
    bad=$((bad + 1))
  fi
}

failed_write="$target に書き込めませんでした。ﾃﾞｨｽｸの空きや書き込み権限を確認してください。"
prepare 8192
r=$(room)
run add "$target" 20 > "$work/out" || true
check "adding 20 projects: $new_size bytes over $old_size bytes, $r" "$work/out" "$failed_write"
grep -qx 'result: failed' "$work/out" || { echo "    the change was not reported as failed"; bad=$((bad + 1)); }

prepare 0
r=$(room)
run delete "$target" > "$work/out" || true
check "project delete in a file of $old_size bytes, $r" "$work/out" "ｷｰの削除に失敗しました。"

prepare 0
r=$(room)
run ctgdelete "$target" > "$work/out" || true
check "category delete in a file of $old_size bytes, $r" "$work/out" "ﾃﾞｰﾀﾌｧｲﾙの該当するｶﾃｺﾞﾘｰの削除に失敗しました。"

# Closing writes no catalogue; the settings cannot be written (silently, as always).
prepare 0
blocks=0 # the settings file is small
r=$(room)
run shutdown "$target" > "$work/out" || true
unset blocks
if cmp -s "$folder/ZARUN.ini" "$work/ini" && cmp -s "$target" "$work/old" && ! grep -q '^message: ' "$work/out"; then
  echo "shut-down, $r: ZARUN.ini and the catalogue byte for byte yes, no message"
else
  echo "shut-down, $r: a file changed or a message shown"; sed 's/^/    /' "$work/out"; bad=$((bad + 1))
fi

if [ "$how" = filesize ]; then
  # An edit whose old key can go but whose new, longer line does not fit: the file must not be left
  # without the project. The limit lies between the file without the line and the file with the new one.
  # Long, but within the 1,023 bytes a value may have.
  long="$work/$(printf 'd%.0s' {1..200})/$(printf 'e%.0s' {1..200})/$(printf 'f%.0s' {1..200})"
  long="$long/$(printf 'g%.0s' {1..200})/$(printf 'h%.0s' {1..100})"
  mkdir -p "$long"
  printf 'Type=Exe\r\nName="E"\r\n' > "$long/E.vbp"
  without=$((old_size - $(head -2 "$work/old" | tail -1 | wc -c)))
  blocks=$(( (without + 1023) / 1024 ))
  prepare 0
  r=$(room)
  run edit "$target" "$long/E.vbp" > "$work/out" || true
  check "project edit to a path of ${#long} characters, $without bytes without the old line, $r" "$work/out" \
    "ﾃﾞｰﾀﾌｧｲﾙの該当するｷｰの削除に失敗しました。"
  unset blocks
fi

if [ "$how" = tmpfs ]; then
  # The failed change left everything as it was: once there is room, the same change goes through.
  prepare 8192
  r=$(room)
  run add "$target" 20 "$folder/filler" > "$work/out" || true
  check "adding, then again after room was made, $r" "$work/out" "$failed_write" new
  grep -qx 'result: ok' "$work/out" || { echo "    the second change failed"; bad=$((bad + 1)); }
fi

echo "$how: $bad of the checks above failed"
[ "$bad" -eq 0 ]
