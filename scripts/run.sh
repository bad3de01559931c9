#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build="${VOCALUME_BUILD_DIR:-$root/build}"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Nessun display: avvio sotto Xvfb." >&2
  exec xvfb-run -a -s "-screen 0 1600x1000x24" "$build/vocalume"
fi
exec "$build/vocalume"
