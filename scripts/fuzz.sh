#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 60), one after the other, from the seed
# corpus plus the kept regression inputs, and prints each target's executions per second and
# total executions. Builds the sanitizer variant first. New corpus inputs stay in
# build-asan/fuzz-corpus; a finding is written to build-asan/fuzz-findings/<target>/ and makes
# the script fail. Extra arguments go to every target (for instance -max_len=4096).
set -euo pipefail
seconds="${1:-60}"
shift || true
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_SANITIZE_BUILD_DIR:-$root/build-asan}"
"$root/scripts/build-sanitized.sh"
corpus="$build/fuzz-corpus"
[ -d "$corpus" ] || VOCALUME_BUILD_DIR="$build" "$root/fuzz/make-corpus.sh" "$corpus" >/dev/null
export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen
failed=0
summary=""
for source in "$root"/fuzz/fuzz_*.cpp; do
  target="$(basename "$source" .cpp)"
  findings="$build/fuzz-findings/$target"
  mkdir -p "$corpus/$target" "$findings"
  inputs=("$corpus/$target")
  [ -d "$root/fuzz/regressions/$target" ] && inputs+=("$root/fuzz/regressions/$target")
  log="$build/fuzz-findings/$target.log"
  status=ok
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=16384 -timeout=20 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$@" "${inputs[@]}" >"$log" 2>&1 || { status=FAILED; failed=1; }
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  line="$(printf '%-24s %8s execs/s %12s execs  %s' "$target" "${rate:-?}" "${execs:-?}" "$status")"
  echo "$line"
  summary+="$line"$'\n'
done
echo
printf '%s' "$summary"
[ "$failed" -eq 0 ] || { echo "findings (inputs and logs) in $build/fuzz-findings"; exit 1; }
