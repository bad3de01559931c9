#!/usr/bin/env bash
# Pictures of the login, library and dictionary pages at 1600x1000 and 1024x700 (or the sizes
# given in VOCALUME_SHOT_SIZES, e.g. "1280x800 800x600"): the program's own main window and
# engine pages, under Xvfb, against the reference store service with the demo dictionaries, in a
# private HOME. Usage: screenshots.sh [output folder]   (default: <build>/screenshots)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
out="$(mkdir -p "${1:-$build/screenshots}" && cd "${1:-$build/screenshots}" && pwd)"

VOCALUME_BUILD_TARGETS="screenshots storeservice packagebuilder" "$root/scripts/build.sh"
"$root/scripts/demo-packages.sh" "$build" "$build/demo-packages"

home="$(mktemp -d)"
log="$home/storeservice.log"
# Made here, not by the service's redirection, so that the wait below never reads a missing file
# (which, under pipefail, would end the script).
: > "$log"
"$build/tools/storeservice/storeservice" --catalog "$root/tools/storeservice/demo" \
  --packages "$build/demo-packages" --port 0 > "$log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true; rm -rf "$home"' EXIT
port=""
for _ in $(seq 100); do
  port="$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$log" 2>/dev/null | head -1)"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "Il negozio di riferimento non si è avviato." >&2; exit 1; }

sizes=()
for s in ${VOCALUME_SHOT_SIZES:-1600x1000 1024x700}; do sizes+=(--size "$s"); done
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
  xvfb-run -a -s "-screen 0 1920x1200x24" "$build/tools/screenshots" --port "$port" --out "$out" "${sizes[@]}"
