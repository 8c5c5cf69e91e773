#!/bin/bash
# Installs, when missing, what the Windows build (cmake --preset win32) and its Wine tests need:
# the MinGW-w64 i686 cross compiler, the i386 architecture with Wine and its 32-bit part, the
# GoogleTest sources the Windows test program is built from, the Polish locale sources the tests
# generate their locale from, and the cross compiler's own GCC sources, from which the DLLs'
# exception runtime is compiled for the Pentium (cmake/Win32Runtime.cmake). Safe to run again: it does nothing when all is there.
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

if [ ${#packages[@]} -gt 0 ]; then
  echo "Installing ${packages[*]}"
  "$(dirname "$0")/apt-install.sh" --no-install-recommends "${packages[@]}"
fi

# The sources of the cross compiler's GCC release, which Debian packages as gcc-N-source.
major=$(i686-w64-mingw32-gcc-win32 -dumpversion | sed 's/[^0-9].*//')
if ! installed "gcc-$major-source"; then
  echo "Installing gcc-$major-source"
  "$(dirname "$0")/apt-install.sh" --no-install-recommends "gcc-$major-source"
fi
echo "MinGW-w64 i686, its GCC sources and Wine are installed"
