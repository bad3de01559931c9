#!/usr/bin/env bash
# Builds and runs the benchmarks; each prints its medians and ratios and exits non-zero when a
# bound is missed. Runs everything and fails at the end if any benchmark failed.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
benchmarks=(bench_search)
cmake --build "$build" --target "${benchmarks[@]}" >/dev/null || exit 1
status=0
for bench in "${benchmarks[@]}"; do
  echo "== $bench"
  "$build/bench/$bench" || status=1
done
exit $status
