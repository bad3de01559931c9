#!/usr/bin/env bash
# Configures and builds into build/ (or $VOCALUME_BUILD_DIR). Extra arguments go to cmake.
# VOCALUME_BUILD_TARGETS (space-separated) builds only those targets.
# An existing build directory is configured again only when arguments are given (the build
# itself re-runs cmake when a CMakeLists.txt changed); a new one uses Ninja when present.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
if [ ! -f "$build/CMakeCache.txt" ] || [ $# -gt 0 ]; then
  options=()
  command -v ccache >/dev/null 2>&1 && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null 2>&1 && options+=(-G Ninja)
  cmake -S "$root" -B "$build" "${options[@]}" "$@" >/dev/null
fi
targets=()
for target in ${VOCALUME_BUILD_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"
