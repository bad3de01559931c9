#!/usr/bin/env bash
# Installs what is missing, builds, starts the reference store service with the demo catalog
# on 127.0.0.1 and runs the program against it. The service stops when the program ends.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VOCALUME_BUILD_DIR:-$root/build}"
port="${VOCALUME_DEMO_PORT:-47800}"

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DVOCALUME_SERVICE_HOST=127.0.0.1 -DVOCALUME_HTTP_PORT="$port"
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

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Nessun display: avvio sotto Xvfb." >&2
  xvfb-run -a -s "-screen 0 1600x1000x24" "$build/vocalume"
else
  "$build/vocalume"
fi
