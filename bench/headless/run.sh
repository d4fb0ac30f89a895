#!/bin/sh
# How long `zarun status` takes from start to end for an empty catalogue, without a display:
# the median of RUNS starts, in milliseconds. Usage: bench/headless/run.sh path/to/zarun [RUNS]
set -eu
zarun=$1
runs=${2:-50}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '[Empty]\r\n' > "$work/empty.zrd"
i=0
while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work" XDG_CACHE_HOME="$work" \
        "$zarun" status "$work/empty.zrd" --check > /dev/null
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 ))
    i=$((i + 1))
done | sort -n | awk '{ v[NR] = $1 } END { printf "zarun status, empty catalogue: median %.1f ms over %d starts\n", v[int((NR + 1) / 2)] / 1000, NR }'
