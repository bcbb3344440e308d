#!/usr/bin/env bash
# Start-up cost of an empty session: wall time (min and median of 20 runs)
# and peak resident set size.
set -euo pipefail
bin=${1:-build/x86_64/tamarisk}
runs=20
times=()
for _ in $(seq $runs); do
  s=$(date +%s%N)
  echo '' | "$bin" >/dev/null
  e=$(date +%s%N)
  times+=($(( (e - s) / 1000 )))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
min=${sorted[0]}
med=${sorted[$((runs / 2))]}
rss=$( { echo '' | /usr/bin/time -v "$bin" >/dev/null; } 2>&1 | awk -F: '/Maximum resident/ {gsub(/ /,"",$2); print $2}')
printf 'empty session: min %d.%03d ms, median %d.%03d ms, peak RSS %s kB\n' \
  $((min / 1000)) $((min % 1000)) $((med / 1000)) $((med % 1000)) "$rss"
