#!/usr/bin/env bash
# The program on a Wayland compositor: weston without a screen (its headless back end), the
# reference store service with the demo dictionaries, then on Wayland alone (QT_QPA_PLATFORM
# wayland, no X server): the start-up, sign-in, installation and a look-up as the screenshot
# tool drives them (the pop-up look-up among them), and the program started with --cerca, then a
# second --cerca and a --selezione handing their requests to it. Usage: wayland-trial.sh <build dir>. Exits 77 (skipped) without weston or Qt's Wayland
# plugin.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
command -v weston >/dev/null 2>&1 || { echo "weston non installato"; exit 77; }
plugins="$(qtpaths --plugin-dir 2>/dev/null || qmake -query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt5/plugins)"
ls "$plugins"/platforms/libqwayland-*.so >/dev/null 2>&1 || { echo "manca il modulo Wayland di Qt (qtwayland5)"; exit 77; }

work="$(mktemp -d)"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY

weston --backend=headless-backend.so --socket=wayland-prova --idle-time=0 --width=1280 --height=800 \
  > "$work/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/wayland-prova" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/wayland-prova" ] || { cat "$work/weston.log"; echo "weston non si è avviato"; exit 1; }
export WAYLAND_DISPLAY=wayland-prova QT_QPA_PLATFORM=wayland

"$root/scripts/demo-packages.sh" "$build" "$work/packages" > /dev/null
: > "$work/store.log"
"$build/tools/storeservice/storeservice" --catalog "$root/tools/storeservice/demo" --packages "$work/packages" \
  --port 0 > "$work/store.log" 2>&1 &
pids+=($!)
port=""
for _ in $(seq 100); do
  port="$(sed -n 's/^PORT \([0-9]*\)$/\1/p' "$work/store.log" | head -1)"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "il negozio di riferimento non si è avviato"; exit 1; }

# Start-up, sign-in, installation, a look-up: the pages as the user meets them, on Wayland.
"$build/tools/screenshots" --port "$port" --out "$work/shots" --size 1024x700 > "$work/shots.log" 2>&1 \
  || { cat "$work/shots.log"; echo "il giro delle pagine su Wayland non è riuscito"; exit 1; }
[ -s "$work/shots/dizionario-1024x700.png" ] || { echo "nessuna immagine della voce cercata"; exit 1; }
[ -s "$work/shots/popup-1024x700.png" ] || { echo "nessuna immagine della finestrella di ricerca"; exit 1; }

# --cerca starts the program on a word; a second --cerca hands its word to it and ends.
"$build/vocalume" --store "127.0.0.1:$port" --cerca andare &
first=$!
pids+=($first)
sleep 8
kill -0 "$first" 2>/dev/null || { echo "vocalume --cerca si è chiuso su Wayland"; exit 1; }
timeout 30 "$build/vocalume" --store "127.0.0.1:$port" --cerca casa \
  || { echo "il secondo --cerca non ha passato la parola alla finestra aperta"; exit 1; }
kill -0 "$first" 2>/dev/null || { echo "la finestra aperta si è chiusa ricevendo la parola"; exit 1; }
timeout 30 "$build/vocalume" --store "127.0.0.1:$port" --selezione \
  || { echo "--selezione non è arrivato alla copia aperta"; exit 1; }
sleep 1
kill -0 "$first" 2>/dev/null || { echo "la copia aperta si è chiusa aprendo la finestrella"; exit 1; }
echo "Wayland: avvio, accesso, installazione, ricerca e --cerca riusciti"
