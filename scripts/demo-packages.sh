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

demo="$root/tools/packagebuilder/demo"
build_package() { # <sku> <source>
  local package="$out/$1.zip"
  if [ ! -f "$package" ] || [ "$2" -nt "$package" ] || [ "$builder" -nt "$package" ]; then
    "$builder" --source "$2" --package "$package.part" >/dev/null
    mv "$package.part" "$package"
  fi
}
build_package ZDEMO001 "$demo/italiano.tsv"
build_package ZDEMO002 "$demo/inglese-italiano.tsv"
build_package ZDEMO003 "$demo/inglese-italiano.tsv"
