#!/usr/bin/env bash
# Opening catalogues of 1,000 / 10,000 / 100,000 projects in the real program, beside an empty
# start and the floor (every listed .vbp read once), on a virtual display:
#   bench/open/run.sh <zarun> [<other zarun> ...]
# Several executables run side by side in one run (old and new builds). Settings by environment:
#   BENCH_SIZES=1000,10000,100000  BENCH_RUNS=5 (warm starts)  BENCH_COLD=auto|drop|fadvise|none
#   BENCH_WORK=<folder> (kept; catalogues are reused)  BENCH_JSON=<file> (every sample)
#   BENCH_FILL_TIMEOUT=60 (seconds to wait for every row once the window answers)
# Dropping the page cache needs root; otherwise the files are evicted one by one (fadvise).
# Exits 77 when a tool it needs is missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -ge 1 ] || { echo "usage: $0 <zarun> [<other zarun> ...]" >&2; exit 2; }
for tool in xvfb-run python3 cc; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing" >&2; exit 77; }
done
python3 -c 'import ctypes.util, sys; sys.exit(not (ctypes.util.find_library("X11") and ctypes.util.find_library("Xtst")))' \
  || { echo "skipped: libX11 or libXtst is missing" >&2; exit 77; }

if [ -n "${BENCH_WORK:-}" ]; then
  work=$BENCH_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/zarun-bench-open.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
cc -O2 -o "$work/floor" "$here/floor.c"

exes=()
for exe in "$@"; do
  [ -x "$exe" ] || { echo "not an executable: $exe" >&2; exit 2; }
  exes+=("$(realpath -- "$exe")")
done
json=()
[ -n "${BENCH_JSON:-}" ] && json=(--json "$BENCH_JSON")

xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  python3 "$here/drive.py" --floor "$work/floor" --work "$work" \
    --sizes "${BENCH_SIZES:-1000,10000,100000}" --runs "${BENCH_RUNS:-5}" --cold "${BENCH_COLD:-auto}" \
    --fill-timeout "${BENCH_FILL_TIMEOUT:-60}" \
    "${json[@]}" "${exes[@]}"
