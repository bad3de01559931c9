#!/usr/bin/env bash
# Configures and builds the sanitizer variant into build-asan/ (or $VOCALUME_SANITIZE_BUILD_DIR):
# clang with AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz targets, no benchmarks.
# Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
VOCALUME_BUILD_DIR="${VOCALUME_SANITIZE_BUILD_DIR:-$root/build-asan}" "$root/scripts/build.sh" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVOCALUME_SANITIZE=ON -DVOCALUME_FUZZ=ON -DVOCALUME_BUILD_BENCH=OFF "$@"
