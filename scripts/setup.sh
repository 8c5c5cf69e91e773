#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
#   scripts/setup.sh          everything: the tests, fuzzers, benchmarks and the package test too
#   scripts/setup.sh --demo   only what the host, its libraries and the sample discs need
set -euo pipefail

# The host, the six libraries and the sample discs with their ISO 9660 images.
packages=(
  cmake ninja-build g++ pkg-config
  libcli11-dev nlohmann-json3-dev libsqlite3-dev libcpp-httplib-dev
  libiso9660-dev libarchive-dev genisoimage
  gettext
)
if [ "${1:-}" != --demo ]; then
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xorriso
    clang-14 libclang-rt-14-dev
    # The Debian package and its test: CPack's dependencies, lintian, the manual, the completion.
    dpkg-dev file lintian man-db bash-completion zsh locales
  )
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  "$(dirname "$0")/apt-install.sh" "${missing[@]}"
fi
