#!/usr/bin/env bash
# Checks the layering of ARCHITECTURE.md two ways:
#  1. sources: every project include in a folder names a folder of the same or a lower layer;
#  2. binaries (when a build folder is given): the tests of each layer below the web view load none
#     of the Qt libraries that layer must not use (QtWebKit, QtWidgets, QtTextToSpeech...), as ldd shows them. (A
#     test links only the library of its layer, so a call the wrong way already fails to link.)
# Exits 1 at the first broken rule, printing every one found.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-}"

# Layer order, bottom first: each folder is one library and may include only its own folder and
# the folders listed for it. web/ sits below app/ and never includes it.
declare -A allowed=(
  [base]="base"
  [services]="base services"
  [store]="base store"
  [search]="base search"
  [pages]="base pages"
  [packages]="base services store search packages"
  [library]="base services store packages library"
  [desktop]="base store search desktop"
  [web]="base services search pages packages library web"
  [app]="base services store search pages packages library desktop web app resources"
)

failed=0
report() { echo "check-layers: $*"; failed=1; }

for folder in base services store search pages packages library desktop web app; do
  for file in "$root/$folder"/*.cpp "$root/$folder"/*.h; do
    [ -e "$file" ] || continue
    rel="${file#"$root"/}"
    layer="$folder"
    while IFS= read -r included; do
      target="${included%%/*}"
      [[ " ${allowed[$layer]} " == *" $target "* ]] || report "$rel includes $included (layer $layer may use: ${allowed[$layer]})"
    done < <(grep -oE '^#include "[a-z]+/[a-z_]+\.h"' "$file" | sed -E 's/#include "(.*)"/\1/')
  done
done

if [ -n "$build" ]; then
  # Test executables of each layer and the libraries they must not load.
  declare -A forbidden=(
    [base]="Qt5Gui Qt5Widgets Qt5Network Qt5Sql Qt5Xml Qt5WebKit Qt5TextToSpeech"
    [services]="Qt5Widgets Qt5Sql Qt5WebKit Qt5TextToSpeech"
    [search]="Qt5Widgets Qt5Network Qt5WebKit Qt5TextToSpeech"
    [pages]="Qt5Widgets Qt5Sql Qt5WebKit Qt5TextToSpeech"
    [packages]="Qt5Widgets Qt5WebKit Qt5TextToSpeech"
    [library]="Qt5Widgets Qt5WebKit Qt5TextToSpeech"
    [desktop]="Qt5Gui Qt5Widgets Qt5Network Qt5WebKit Qt5TextToSpeech"
  )
  # Each test's layer, as the test build wrote it: "<layer> <test>" per line.
  list="$build/tests/layer-tests.txt"
  [ -s "$list" ] || report "$list is missing: configure the build first"
  while read -r layer test; do
    [ -n "${forbidden[$layer]:-}" ] || continue
    binary="$build/tests/$test"
    [ -x "$binary" ] || { report "$test is not built in $build"; continue; }
    libraries="$(ldd "$binary")"
    for library in ${forbidden[$layer]}; do
      if grep -q "lib$library" <<<"$libraries"; then
        report "$test ($layer layer) loads lib$library"
      fi
    done
  done < <(cat "$list" 2>/dev/null || true)
fi

[ "$failed" = 0 ] && echo "check-layers: every layer uses only the layers below it"
exit "$failed"
