#!/usr/bin/env bash
# Kills crash_save with SIGKILL at a random moment of its save, many times, and checks that
# the file is afterwards byte-identical to its old or to its new content, never anything else.
#   kill_during_save.sh <crash_save> <catalogue|settings> <old file> [runs]
set -euo pipefail
driver=$1 mode=$2 old=$3 runs=${4:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Backups of the catalogue go here, not to the home folder.
export XDG_STATE_HOME="$work/state"
target="$work/target"
if [ "$old" = - ]; then
  # A large catalogue: 100 categories of 50 projects, CR LF as the program writes it.
  old="$work/old"
  for ((c = 0; c < 100; c++)); do
    printf '[Category%03d]\r\n' "$c"
    for ((p = 0; p < 50; p++)); do printf 'Project%02d=/home/user/src/c%d/p%d/Project%d.vbp\r\n' "$p" "$c" "$p" "$p"; done
  done > "$old"
fi
[ "$mode" = settings ] && target="$work/ZARUN.ini"

# The new content: one save that is not interrupted.
cp "$old" "$target"
"$driver" "$mode" "$target" >/dev/null
cp "$target" "$work/new"
if cmp -s "$old" "$work/new"; then echo "the save changed nothing: no test" >&2; exit 1; fi
# How long a whole save takes, to spread the kills over it.
start=$(date +%s%N)
cp "$old" "$target"
"$driver" "$mode" "$target" >/dev/null
span_us=$(( ($(date +%s%N) - start) / 1000 ))

old_count=0 new_count=0 bad=0
for ((i = 1; i <= runs; i++)); do
  cp "$old" "$target"
  "$driver" "$mode" "$target" > "$work/out" &
  pid=$!
  # Half the kills land anywhere in the run, half after "saving" appeared.
  if (( i % 2 )); then
    delay_us=$(( (RANDOM * 32768 + RANDOM) % (span_us + 1) ))
  else
    for _ in $(seq 1 2000); do grep -q saving "$work/out" 2>/dev/null && break; sleep 0.001; done
    delay_us=$(( (RANDOM * 32768 + RANDOM) % (span_us / 2 + 1) ))
  fi
  sleep "$(printf '0.%06d' "$delay_us")"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if cmp -s "$target" "$old"; then
    old_count=$((old_count + 1))
  elif cmp -s "$target" "$work/new"; then
    new_count=$((new_count + 1))
  else
    bad=$((bad + 1))
    cp "$target" "$work/bad-$i"
  fi
  # Temporary files left by a killed save must not pile up as catalogues.
  rm -f "$work"/.target.* "$work"/.ZARUN.ini.* 2>/dev/null || true
done
echo "$mode: $runs kills during a save of $(stat -c %s "$work/new") bytes (whole run ${span_us} us): old $old_count, new $new_count, other $bad"
[ "$bad" -eq 0 ]
