#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need (only the missing ones).
# With --demo it adds the open dictionary data the demo catalog is built from.
set -euo pipefail
packages=(cmake g++ make pkg-config qtbase5-dev libqt5sql5-sqlite libqt5webkit5-dev
  libqt5xmlpatterns5-dev libquazip1-qt5-dev libzip-dev libsqlite3-dev zlib1g-dev
  libcpp-httplib-dev xvfb xauth zip unzip curl)
# Qt's own dialogs in Italian.
packages+=(qttranslations5-l10n)
# The pronunciation: Qt TextToSpeech to build with (optional at configure time), and the voices
# to hear it in the demo (speech-dispatcher with espeak-ng); the tests use a voice of their own.
packages+=(libqt5texttospeech5-dev qtspeech5-speechd-plugin speech-dispatcher speech-dispatcher-espeak-ng espeak-ng)
# Debian's cpp-httplib is built with OpenSSL and its pkg-config flags turn the TLS server on, so
# its header needs OpenSSL's; the tests make their certificate authority with the openssl tool.
packages+=(libssl-dev openssl)
# Faster builds, desktop-file and AppStream validation, the window check of the demo.
packages+=(ninja-build desktop-file-utils appstream x11-utils)
# The private session bus and the desktop's calls of the look-up tests (Qt's D-Bus module comes with
# qtbase5-dev).
packages+=(dbus libglib2.0-bin)
# A Wayland compositor without a screen and Qt's Wayland plugin, for the trial on Wayland.
packages+=(weston qtwayland5)
# The sanitizer build and the fuzz targets.
packages+=(clang libclang-rt-dev)
[ "${1:-}" = "--demo" ] && packages+=(dict-freedict-ita-eng dict-freedict-eng-ita dict-gcide dict-wn wordnet-base hunspell-it hunspell-en-us)
# The engine's page tests need node; any installed one will do.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
# One query for all of them: with nothing missing this takes a few milliseconds.
installed="$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null | grep ' install ok installed$' | cut -d' ' -f1 || true)"
missing=()
for p in "${packages[@]}"; do
  grep -qx "$p" <<<"$installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
