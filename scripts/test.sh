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

# The same suite again in a second build under AddressSanitizer and UndefinedBehaviorSanitizer;
# that build (clang) also holds the fuzz targets, which the suite runs briefly.
"$root/scripts/build-sanitized.sh"
cd "${VOCALUME_SANITIZE_BUILD_DIR:-$root/build-asan}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
