#!/usr/bin/env bash
# Builds the demo dictionaries' packages for the reference store service.
# Usage: demo-packages.sh <build dir> <output dir>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$1"
out="$2"
mkdir -p "$out"
builder="$build/tools/packagebuilder/packagebuilder"
if [ ! -x "$builder" ]; then
  echo "Manca il costruttore dei pacchetti: i dizionari dimostrativi non saranno scaricabili." >&2
  exit 0
fi
