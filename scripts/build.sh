#!/usr/bin/env bash
# Configures and builds into build/ (or $VOCALUME_BUILD_DIR). Extra arguments go to cmake.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
generator=()
# Ninja when present; a folder keeps the generator it was first configured with.
command -v ninja >/dev/null 2>&1 && [ ! -f "$build/CMakeCache.txt" ] && generator=(-G Ninja)
cmake -S "$root" -B "$build" "${generator[@]}" "${launcher[@]}" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
