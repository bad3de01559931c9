#!/usr/bin/env bash
# Writes the hostile and damaged test packages (plus one good package) into OUTDIR.
# Usage: scripts/make-hostile-archives.sh OUTDIR
# The archives are made by the project's own tool (tools/hostilearchives), built on demand in
# build/ (or $VOCALUME_BUILD_DIR); nothing is downloaded.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "uso: $0 CARTELLA" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
VOCALUME_BUILD_TARGETS=hostilearchives "$root/scripts/build.sh" >/dev/null
"$build/tools/hostilearchives/hostilearchives" "$1"
