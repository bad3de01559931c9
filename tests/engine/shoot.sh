#!/usr/bin/env bash
# Screenshots of the engine pages in headless Chromium with the mock bridge.
# Usage: shoot.sh <staged directory> <output directory> [width height]
# Each line of the list below is: <file name> <page and query>.
set -euo pipefail
stage="$1"; out="$2"; w="${3:-1280}"; h="${4:-800}"
mkdir -p "$out"
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
shots="${SHOTS:-
login login.html
login-error login.html?scene=loginerror
library libreria.html
library-download libreria.html?scene=download
library-empty libreria.html?mock=empty
library-logout libreria.html?scene=logout
library-syncfail libreria.html?scene=syncfail
library-many libreria.html?mock=many
dictionary dizionario.html?idbook=ita-base
dictionary-casa dizionario.html?idbook=ita-base&scene=casa
dictionary-fulltext dizionario.html?idbook=ita-base&scene=fulltext
dictionary-note dizionario.html?idbook=ita-base&scene=note&fresh
dictionary-saved dizionario.html?idbook=ita-base&scene=saved&fresh
}"
while read -r name page; do
  [ -n "$name" ] || continue
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking --no-first-run \
    --disable-component-update --disable-sync --hide-scrollbars --user-data-dir="$profile" \
    --window-size="$w,$h" --virtual-time-budget=6000 --screenshot="$out/$name.png" \
    "file://$stage/$page" >/dev/null 2>&1 || echo "failed: $name" >&2
done <<< "$shots"
