#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (only the missing ones).
set -euo pipefail
packages=(cmake g++ make pkg-config qtbase5-dev libqt5sql5-sqlite libqt5webkit5-dev
  libqt5xmlpatterns5-dev libquazip1-qt5-dev libzip-dev libsqlite3-dev zlib1g-dev
  libcpp-httplib-dev xvfb xauth zip unzip curl
  ninja-build clang libclang-rt-dev)
# The engine's page tests need node; any installed one will do.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
