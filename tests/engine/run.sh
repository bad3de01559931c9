#!/usr/bin/env bash
# Runs the engine's tests: the unit tests under node, then every page test in the program's web
# engine (ENGINEPAGE names the built webkitrun runner). Prints one line per test and a closing
# "N passed, N failed".
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
passed=0; failed=0
add() { passed=$((passed + ${1:-0})); failed=$((failed + ${2:-1})); } # <passed> <failed>: no count is one failure

command -v node >/dev/null 2>&1 || { echo "node is needed (Debian package nodejs)"; echo "0 passed, 1 failed"; exit 1; }
tests="$(node "$here/pagetest.js" "$stage")" || { echo "0 passed, 1 failed"; exit 1; }

out="$(cd "$here" && node --test unit.test.js 2>&1)"
p="$(printf '%s\n' "$out" | sed -n 's/^# pass //p')"; f="$(printf '%s\n' "$out" | sed -n 's/^# fail //p')"
echo "unit: ${p:-0} passed, ${f:-1} failed"
[ "${f:-1}" = 0 ] || printf '%s\n' "$out" | grep -A12 '^not ok'
add "$p" "$f"

[ -x "${ENGINEPAGE:-}" ] || { echo "ENGINEPAGE does not name the built page runner"; add 0 1; tests=""; }
for t in $tests; do
  out="$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$stage" "$ENGINEPAGE" "$stage/${t%%\?*}" "${t#*\?}" 2>&1)"; rc=$?
  echo "== $t"; printf '%s\n' "$out" | grep -E '^(PASS|FAIL|console|[0-9]+ uncaught|no test)'
  set -- $(printf '%s\n' "$out" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1); add "${1:-}" "${3:-}"
  [ $rc -eq 0 ] || [ "${3:-}" != 0 ] || add 0 1
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
