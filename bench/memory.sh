#!/usr/bin/env bash
# Resident memory after 20 look-ups in every installed dictionary: the program's, measured by
# bench_typing with the six demo dictionaries, and beside it that of a GoldenDict already running
# with the same dictd data (Debian's /usr/share/dictd) when there is one: start it, look up the
# words bench_typing types, then run this script. Usage: memory.sh [build dir]
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${VOCALUME_BUILD_DIR:-$root/build}}"
ours="$("$build/bench/bench_typing" --words 20 2>/dev/null | sed -n 's/^resident after .*: \([0-9.]*\) MiB$/\1/p')"
if [ -z "$ours" ]; then
  echo "memory.sh: bench_typing did not run (are the demo packages built?)" >&2
  exit 1
fi
echo "Vocalume: ${ours} MiB resident after 20 look-ups in every dictionary and 20 in one (each after 6 first ones)"
other=""
if command -v goldendict >/dev/null 2>&1; then
  pid="$(pgrep -x goldendict | head -n1)"
  if [ -n "$pid" ]; then
    other="$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status")"
    echo "GoldenDict (pid $pid): ${other} MiB resident"
  else
    echo "GoldenDict is installed but not running: start it with the same dictionaries to compare."
  fi
else
  echo "GoldenDict is not installed: no reference."
fi
if [ -n "$other" ]; then
  verdict=$(awk -v a="$ours" -v b="$other" 'BEGIN { print (a <= b) ? "ok" : "TOO MUCH" }')
  ratio=$(awk -v a="$ours" -v b="$other" 'BEGIN { printf "%.2fx", a / b }')
  echo "figure|resident memory after 20 look-ups in every dictionary|${ours} MiB|${other} MiB (GoldenDict)|${ratio}|<= 1x|${verdict}"
  [ "$verdict" = ok ]
else
  echo "figure|resident memory after 20 look-ups in every dictionary|${ours} MiB|||<= GoldenDict's|no reference"
fi
