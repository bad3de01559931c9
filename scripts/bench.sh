#!/usr/bin/env bash
# Builds, then runs the benchmarks one after the other. Each prints its runs, the medians side by
# side with its reference and the ratio, and fails when it misses its limit; the script ends with
# one table of every benchmark's figures: what, ours, the reference, the ratio, the limit, ok or
# TOO SLOW. Usage: bench.sh [--quick] (fewer runs, for a look rather than a measurement).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" || exit 1
build="${VOCALUME_BUILD_DIR:-$root/build}"
bench="$build/bench"
quick=false
[ "${1:-}" = "--quick" ] && quick=true
runs() { if $quick; then echo "$1"; else echo "$2"; fi; }
output="$(mktemp)"
trap 'rm -f "$output"' EXIT
status=0
run() { echo "== $*"; "$bench/$@" 2>&1 | tee -a "$output"; [ "${PIPESTATUS[0]}" -eq 0 ] || status=1; }

run bench_search 200000 "$(runs 50 200)"
# The same searches on a real dictionary of about 200 000 entries, when Debian's data is installed
# (scripts/install-deps.sh --demo), and beside dictd serving the same files when it is installed.
if [ -f /usr/share/dictd/gcide.index ]; then
  affixes=()
  [ -f /usr/share/hunspell/en_US.aff ] && affixes=(--affixes /usr/share/hunspell/en_US)
  run bench_search --dictd /usr/share/dictd/gcide "${affixes[@]}" "$(runs 50 200)"
fi
# The generated dictionary again, searched through the real dictionary page of the main window.
run bench_page 200000 "$(runs 50 200)"
# Words typed key by key into the real page with the demo dictionaries installed (they are built
# as scripts/run.sh builds them).
"$root/scripts/demo-packages.sh" "$build" "$build/demo-packages" >/dev/null
run bench_typing --words "$(runs 10 50)"
# A word selected elsewhere, looked up in the pop-up through the program's bus object.
run bench_popup "$(runs 30 100)"
# From launch to the splash and to the window ready, the program started again and again.
run bench_startup "$(runs 5 15)"
# Resident memory after look-ups in every dictionary (beside another desktop dictionary when one
# is installed).
bash "$root/bench/memory.sh" "$build" 2>&1 | tee -a "$output" || status=1
# The dictionary page opened and left again and again: resident memory stays flat.
run bench_pagememory
# And from the desktop's own search, over a session bus of the benchmark's own.
run bench_desktopsearch
# On a memory file system the figures measure the program rather than this machine's disk, whose
# write-back makes single runs vary several times over; both are shown.
TMPDIR=/dev/shm run bench_download "$(runs 3 5)"
run bench_download "$(runs 3 5)"
TMPDIR=/dev/shm run bench_unpack "$(runs 3 5)"
run bench_unpack "$(runs 3 5)"
run bench_merge 3
# Not a timing: installations killed at random moments, and what the next start leaves.
run bench_killedinstall "$(runs 10 30)"

echo
echo "== summary ($(date -u +%Y-%m-%d), $(nproc) cores, commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null))"
{
  echo "figure|ours|reference|ratio|limit|verdict"
  grep '^figure|' "$output" | cut -d'|' -f2-
} | column -t -s '|' -o '  '
exit $status
