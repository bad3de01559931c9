#!/usr/bin/env bash
# Runs the engine's tests: the unit tests under node, then every page test in the program's web
# engine (ENGINEPAGE names the built webkitrun runner) and, when installed, in headless Chromium.
# Prints one line per test and a closing "N passed, N failed".
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
passed=0; failed=0

add() { # <passed> <failed>: an empty count is one failure
  passed=$((passed + ${1:-0})); failed=$((failed + ${2:-1}))
}
count() { # <report>: adds its closing "N passed, N failed"
  local line; line="$(printf '%s\n' "$1" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)"
  set -- $line; add "${1:-}" "${3:-}"
}

command -v node >/dev/null 2>&1 || { echo "node is needed (Debian package nodejs)"; echo "0 passed, 1 failed"; exit 1; }
node "$here/stage.js" "$stage" || { echo "0 passed, 1 failed"; exit 1; }
tests="$(node -e 'for (const t of require(process.argv[1])) console.log(t.page + "|" + t.query)' "$stage/tests.json")"

out="$(cd "$here" && node --test unit.test.js 2>&1)"
p="$(printf '%s\n' "$out" | sed -n 's/^# pass //p')"; f="$(printf '%s\n' "$out" | sed -n 's/^# fail //p')"
echo "unit: ${p:-0} passed, ${f:-1} failed"
[ "${f:-1}" = 0 ] || printf '%s\n' "$out" | grep -A12 '^not ok'
add "$p" "$f"

if [ -x "${ENGINEPAGE:-}" ]; then
  for t in $tests; do
    out="$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$stage" "$ENGINEPAGE" "$stage/${t%%|*}" --query "${t#*|}" 2>&1)"; rc=$?
    echo "== web engine: ${t%%|*}"; printf '%s\n' "$out" | grep -E '^(PASS|FAIL|console|[0-9]+ uncaught|no test)'; count "$out"
    [ $rc -eq 0 ] || ! printf '%s\n' "$out" | grep -q ' 0 failed$' || add 0 1
  done
else
  echo "ENGINEPAGE does not name the built page runner"; add 0 1
fi

if command -v chromium >/dev/null 2>&1; then
  profile="$(mktemp -d)"
  for t in $tests; do
    out="$(chromium --headless --no-sandbox --disable-gpu --disable-background-networking --no-first-run \
      --disable-component-update --disable-sync --user-data-dir="$profile" --virtual-time-budget=120000 \
      --dump-dom "file://$stage/${t%%|*}?${t#*|}" 2>/dev/null | node -e '
        let s = ""; process.stdin.on("data", (d) => { s += d; }).on("end", () => {
          const m = /<pre id="pagetest-report">([\s\S]*?)<\/pre>/.exec(s) || ["", ""];
          console.log(m[1].replace(/&lt;/g, "<").replace(/&gt;/g, ">").replace(/&amp;/g, "&"));
        });')"
    echo "== chromium: ${t%%|*}"; printf '%s\n' "$out" | grep -E '^(PASS|FAIL)'; count "$out"
  done
  rm -rf "$profile"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
