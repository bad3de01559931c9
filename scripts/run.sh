#!/usr/bin/env bash
# Installs what is missing, builds the program, the reference store service and the demo
# dictionaries (not the tests), starts the service with the demo catalog on 127.0.0.1 and runs
# the program against it. The service stops when the program ends.
set -euo pipefail
started=$(date +%s%N)
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
port="${VOCALUME_DEMO_PORT:-47800}"

"$root/scripts/install-deps.sh" --demo
VOCALUME_BUILD_TARGETS="vocalume storeservice packagebuilder" "$root/scripts/build.sh"
"$root/scripts/demo-packages.sh" "$build" "$build/demo-packages"

"$build/tools/storeservice/storeservice" --catalog "$root/tools/storeservice/demo" \
  --packages "$build/demo-packages" --port "$port" > "$build/storeservice.log" 2>&1 &
service=$!
trap 'kill $service 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  grep -q '^PORT' "$build/storeservice.log" 2>/dev/null && break
  sleep 0.1
done

echo "Negozio di riferimento su http://127.0.0.1:$port"
echo "Account dimostrativo: utente \"demo\", password \"demo\""

# Starts the program and prints how long this script took to bring its main window up.
launch() {
  "$build/vocalume" --store "127.0.0.1:$port" &
  local program=$!
  if command -v xwininfo >/dev/null 2>&1; then
    for _ in $(seq 600); do
      if xwininfo -root -tree 2>/dev/null | grep -q '"Ruvozovor"'; then
        local ms=$((($(date +%s%N) - started) / 1000000))
        printf 'Finestra principale dopo %d.%d s\n' $((ms / 1000)) $((ms % 1000 / 100))
        break
      fi
      kill -0 "$program" 2>/dev/null || break
      sleep 0.1
    done
  fi
  wait "$program"
}

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Nessun display: avvio sotto Xvfb." >&2
  # xvfb-run's shell drops exported functions: the function travels as text.
  xvfb-run -a -s "-screen 0 1600x1000x24" bash -c "build='$build' port='$port' started='$started'; $(declare -f launch); launch"
else
  launch
fi
