#!/usr/bin/env bash
# Builds the demo dictionaries' packages for the reference store service: the hand-written ones
# and, when Debian's open dictionary data is installed (install-deps.sh --demo), the dictd
# dictionaries with the inflected forms of the spelling dictionaries.
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
build_package() { # <sku> <source file> <builder options...>
  local package="$out/$1.zip" source="$2"
  shift 2
  [ -f "$source" ] || return 0
  if [ ! -f "$package" ] || [ "$source" -nt "$package" ] || [ "$builder" -nt "$package" ]; then
    echo "Costruzione del pacchetto $(basename "$package")..."
    "$builder" "$@" --package "$package.part" >/dev/null
    mv "$package.part" "$package"
  fi
}
build_package ZDEMO001 "$demo/italiano.tsv" --source "$demo/italiano.tsv"
build_package ZDEMO002 "$demo/inglese-italiano.tsv" --source "$demo/inglese-italiano.tsv"
build_package ZDEMO003 "$demo/inglese-italiano.tsv" --source "$demo/inglese-italiano.tsv"

dictd=/usr/share/dictd
hunspell=/usr/share/hunspell
english=(--language en --start-charset "é|è|ñ|ç|’" --end-charset "e|e|n|c|'" --max-keywords 16)
[ -f "$hunspell/en_US.aff" ] && english+=(--affixes "$hunspell/en_US")
# The irregular forms ("went", "children", "better") come from WordNet's exception lists.
[ -f /usr/share/wordnet/verb.exc ] && english+=(--exceptions /usr/share/wordnet)
italian=(--language it)
[ -f "$hunspell/it_IT.aff" ] && italian+=(--affixes "$hunspell/it_IT")
build_package ZOPEN001 "$dictd/freedict-ita-eng.index" --dictd "$dictd/freedict-ita-eng" "${italian[@]}"
build_package ZOPEN002 "$dictd/freedict-eng-ita.index" --dictd "$dictd/freedict-eng-ita" "${english[@]}"
build_package ZOPEN003 "$dictd/gcide.index" --dictd "$dictd/gcide" "${english[@]}"
build_package ZOPEN004 "$dictd/wn.index" --dictd "$dictd/wn" "${english[@]}"
