#!/usr/bin/env bash
# Builds, then runs the benchmarks one after the other. Each prints its runs, the medians side by
# side with its reference tool and the ratio, and fails when it misses its limit.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" || exit 1
bench="${VOCALUME_BUILD_DIR:-$root/build}/bench"
status=0
run() { echo "== $*"; "$bench/$@" || status=1; }

run bench_search
# The same searches on a real dictionary of about 126 000 entries, when Debian's data is installed
# (scripts/install-deps.sh --demo).
if [ -f /usr/share/dictd/gcide.index ]; then
  affixes=()
  [ -f /usr/share/hunspell/en_US.aff ] && affixes=(--affixes /usr/share/hunspell/en_US)
  run bench_search --dictd /usr/share/dictd/gcide "${affixes[@]}"
fi
# The generated dictionary again, searched through the real dictionary page of the main window.
run bench_page
# The dictionary page opened and left again and again: resident memory stays flat.
run bench_pagememory
# And from the desktop's own search, over a session bus of the benchmark's own.
run bench_desktopsearch
# On a memory file system the figures measure the program rather than this machine's disk, whose
# write-back makes single runs vary several times over; both are shown.
TMPDIR=/dev/shm run bench_download 5
run bench_download 5
TMPDIR=/dev/shm run bench_unpack 5
run bench_merge 3
run bench_unpack 5
run bench_merge 3
# Not a timing: installations killed at random moments, and what the next start leaves.
run bench_killedinstall 30

exit $status
