#!/usr/bin/env bash
# Opening catalogues of 10,000 / 100,000 / 1,000,000 projects of a realistic tree in the real program,
# on a virtual display with a window manager, beside an empty start and the floor (the program's
# system calls for the same work, made once on one thread), then using the window:
#   bench/open/run.sh <zarun> [<other zarun> ...]
# Several executables run side by side in one run (old and new builds). Settings by environment:
#   BENCH_SIZES=10000,100000,1000000  BENCH_RUNS=5 (warm starts)  BENCH_COLD=auto|drop|fadvise|none
#   BENCH_PHASES=1 (0: open and close only)  BENCH_FILL_TIMEOUT=<s> (default 60 + 0.5 ms a project)
#   BENCH_WORK=<folder> (kept: the tree and catalogues are reused)  BENCH_JSON=<file> (every sample)
#   BENCH_PLAIN_LIST=<build>/bench/plain_list: the filter's keys also in a plain Qt list showing the
#   same rows (up to 100,000 projects), the toolkit's floor for a key
# A size the disk has no room for is skipped with a line saying so (1,000,000 projects take about
# 9 GB and 7 million inodes, and some minutes to make the first time).
# Dropping the page cache needs root; otherwise the files are evicted one by one (fadvise).
# Exits 77 when a tool it needs is missing.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -ge 1 ] || { echo "usage: $0 <zarun> [<other zarun> ...]" >&2; exit 2; }
for tool in xvfb-run openbox python3 cc; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing" >&2; exit 77; }
done
python3 -c 'import ctypes.util, os, sys; sys.exit(not (ctypes.util.find_library("X11") and ctypes.util.find_library("Xtst") and hasattr(os, "pidfd_open")))' \
  || { echo "skipped: libX11, libXtst or Python's os.pidfd_open is missing" >&2; exit 77; }

if [ -n "${BENCH_WORK:-}" ]; then
  work=$BENCH_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/zarun-bench-open.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
cc -O2 -o "$work/floor" "$here/floor.c"
"$work/floor" /dev/null >/dev/null || { echo "skipped: the C library cannot convert code page 932 (iconv CP932)" >&2; exit 77; }

exes=()
for exe in "$@"; do
  [ -x "$exe" ] || { echo "not an executable: $exe" >&2; exit 2; }
  exes+=("$(realpath -- "$exe")")
done
json=()  # and the other optional arguments
[ -n "${BENCH_JSON:-}" ] && json=(--json "$BENCH_JSON")
[ -n "${BENCH_PLAIN_LIST:-}" ] && json+=(--plain-list "$(realpath -- "$BENCH_PLAIN_LIST")")

xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  python3 "$here/drive.py" --floor "$work/floor" --work "$work" \
    --sizes "${BENCH_SIZES:-10000,100000,1000000}" --runs "${BENCH_RUNS:-5}" --cold "${BENCH_COLD:-auto}" \
    --phases "${BENCH_PHASES:-1}" --fill-timeout "${BENCH_FILL_TIMEOUT:-0}" \
    "${json[@]}" "${exes[@]}"
