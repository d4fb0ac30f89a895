# Sourced: claim_display <first number> sets server to a display number of this run's own, held by
# a lock until the run ends. "xvfb-run -a" races with runs started at the same moment: two servers
# on one number, and the keys of one session land in the other. Numbers from 500 stay clear of its
# choices; each caller takes its own range of 200.
claim_display() {
  local first=$1 locks=/tmp/.zarun-e2e-displays n tries
  mkdir -p "$locks" 2>/dev/null || true
  server=
  for ((n = first + RANDOM % 100, tries = 0; tries < 200; n = first + (n - first + 1) % 200, tries++)); do
    exec {display_lock}>"$locks/X$n" || continue
    if flock -n "$display_lock" && [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
      server=$n
      return 0
    fi
    exec {display_lock}>&-
  done
  echo "FAIL: no free display number between $first and $((first + 199))" >&2
  exit 1
}
