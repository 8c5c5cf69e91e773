#!/bin/bash
# Installs, when missing, what the Windows build (cmake --preset win32) and its Wine tests need:
# the MinGW-w64 i686 cross compiler, the i386 architecture with Wine and its 32-bit part, the
# GoogleTest sources the Windows test program is built from, and the Polish locale sources the
# tests generate their locale from. Safe to run again: it does nothing when all is there.
# Runs as root, or through sudo when it is available.
set -euo pipefail

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

packages=()
installed g++-mingw-w64-i686 || packages+=(g++-mingw-w64-i686)
installed googletest || packages+=(googletest)
[ -f /usr/share/i18n/locales/pl_PL ] || packages+=(locales)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture"
  as_root dpkg --add-architecture i386
fi
installed wine32:i386 || packages+=(wine32:i386)
installed wine || packages+=(wine)

if [ ${#packages[@]} -eq 0 ]; then
  echo "MinGW-w64 i686 and Wine are installed"
  exit 0
fi
echo "Installing ${packages[*]}"
"$(dirname "$0")/apt-install.sh" --no-install-recommends "${packages[@]}"
