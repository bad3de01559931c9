#!/usr/bin/env bash
# Checks the layering of ARCHITECTURE.md two ways:
#  1. sources: every project include in a folder names a folder of the same or a lower layer;
#  2. binaries (when a build folder is given): the tests of each layer below the web view load none
#     of the Qt libraries that layer must not use (QtWebKit, QtWidgets...), as ldd shows them. (A
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
  [library]="base services store search packages library"
  [desktop]="base store search desktop"
  [web]="base services store search pages packages library web"
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
    [base]="Qt5Gui Qt5Widgets Qt5Network Qt5Sql Qt5Xml Qt5WebKit"
    [services]="Qt5Widgets Qt5Sql Qt5WebKit"
    [search]="Qt5Widgets Qt5Network Qt5WebKit"
    [pages]="Qt5Widgets Qt5Sql Qt5WebKit"
    [packages]="Qt5Widgets Qt5WebKit"
    [library]="Qt5Widgets Qt5WebKit"
    [desktop]="Qt5Gui Qt5Widgets Qt5Network Qt5WebKit"
  )
  declare -A tests=(
    [base]="tst_charnormalizer tst_settings"
    [services]="tst_httpconnection tst_libraryws tst_loginws tst_storeservice"
    [search]="tst_headwordsuggestions tst_searchentry tst_searchfulltext tst_searchplans"
    [pages]="tst_dictdimport tst_pageloader"
    [packages]="tst_blockcachedfile tst_cachedimage tst_downloadmanager"
    [library]="tst_librarysync"
    [desktop]="tst_desktopbus"
  )
  for layer in "${!tests[@]}"; do
    for test in ${tests[$layer]}; do
      binary="$build/tests/$test"
      [ -x "$binary" ] || { report "$test is not built in $build"; continue; }
      libraries="$(ldd "$binary")"
      for library in ${forbidden[$layer]}; do
        if grep -q "lib$library" <<<"$libraries"; then
          report "$test ($layer layer) loads lib$library"
        fi
      done
    done
  done
fi

[ "$failed" = 0 ] && echo "check-layers: every layer uses only the layers below it"
exit "$failed"
