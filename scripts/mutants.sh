#!/usr/bin/env bash
# Measures what the test suite catches: plants each fault of scripts/mutants.list, one at a time,
# in a scratch copy of this tree, builds it, runs the tests that can see the fault and prints
# caught or missed, by which tests, and the totals. Never writes to this tree. --help for options.
set -euo pipefail
command -v python3 >/dev/null 2>&1 || { echo "python3 is needed" >&2; exit 1; }
exec python3 "$(cd "$(dirname "$0")" && pwd)/mutants.py" "$@"
