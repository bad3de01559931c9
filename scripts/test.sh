#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
werror=()
[ "${CI:-}" = "true" ] && werror=(-DVOCALUME_WARNINGS_AS_ERRORS=ON)
"$root/scripts/build.sh" "${werror[@]}"
cd "${VOCALUME_BUILD_DIR:-$root/build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
