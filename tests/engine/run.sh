#!/usr/bin/env bash
# Runs the engine's tests: the unit tests under node, then every page test in the program's web
# engine (the runner under webkitrun/ is built on the fly) and, when installed, in headless
# Chromium. Prints one line per test and a closing "N passed, N failed". ENGINEPAGE names an
# already built runner.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${ENGINE_TEST_BUILD:-${TMPDIR:-/tmp}/vocalume-enginepage}"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
passed=0; failed=0

count() { # <output> -> adds its "N passed, N failed" to the totals
  local line; line="$(printf '%s\n' "$1" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)"
  if [ -z "$line" ]; then failed=$((failed + 1)); return; fi
  passed=$((passed + ${line%% passed*})); local f="${line#*passed, }"; failed=$((failed + ${f%% failed}))
}

command -v node >/dev/null 2>&1 || { echo "node is needed (Debian package nodejs)"; echo "0 passed, 1 failed"; exit 1; }
node "$here/stage.js" "$stage" || { echo "0 passed, 1 failed"; exit 1; }

out="$(cd "$here" && node --test unit.test.js 2>&1)"
p="$(printf '%s\n' "$out" | sed -n 's/^# pass //p')"; f="$(printf '%s\n' "$out" | sed -n 's/^# fail //p')"
echo "unit: ${p:-0} passed, ${f:-1} failed"
[ "${f:-1}" = 0 ] || printf '%s\n' "$out" | grep -A12 '^not ok'
passed=$((passed + ${p:-0})); failed=$((failed + ${f:-1}))

runner="${ENGINEPAGE:-}"
if [ -z "$runner" ] && cmake -S "$here/webkitrun" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null && cmake --build "$build" >/dev/null; then
  runner="$build/enginepage"
fi
if [ -n "$runner" ]; then
  for t in $(node -e 'for (const t of require(process.argv[1])) console.log(t.page + "|" + t.query)' "$stage/tests.json"); do
    page="${t%%|*}"; query="${t#*|}"
    out="$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$stage" "$runner" "$stage/$page" --query "$query" 2>&1)"
    rc=$?
    echo "== web engine: $page"; printf '%s\n' "$out" | grep -E '^(PASS|FAIL|console|[0-9]+ uncaught|no test)' ; count "$out"
    [ $rc -eq 0 ] || { printf '%s\n' "$out" | grep -q ' 0 failed$' && failed=$((failed + 1)); }
  done
else
  echo "cannot build the page runner"; failed=$((failed + 1))
fi

if command -v chromium >/dev/null 2>&1; then
  profile="$(mktemp -d)"
  for t in $(node -e 'for (const t of require(process.argv[1])) console.log(t.page + "|" + t.query)' "$stage/tests.json"); do
    page="${t%%|*}"; query="${t#*|}"
    dom="$(chromium --headless --no-sandbox --disable-gpu --disable-background-networking --no-first-run \
      --disable-component-update --disable-sync --user-data-dir="$profile" --virtual-time-budget=120000 \
      --dump-dom "file://$stage/$page?$query" 2>/dev/null)"
    out="$(printf '%s' "$dom" | node -e '
      let s = ""; process.stdin.on("data", (d) => { s += d; }).on("end", () => {
        const m = /<pre id="pagetest-report">([\s\S]*?)<\/pre>/.exec(s);
        console.log(m ? m[1].replace(/&lt;/g, "<").replace(/&gt;/g, ">").replace(/&quot;/g, "\"").replace(/&#39;/g, "\x27").replace(/&amp;/g, "&") : "");
      });')"
    echo "== chromium: $page"; printf '%s\n' "$out" | grep -E '^(PASS|FAIL)'; count "$out"
  done
  rm -rf "$profile"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
