#!/usr/bin/env bash
# What the test of the web view in a real browser needs: Debian's Chromium and, from the npm
# registry, the package that drives it (tests/web/package-lock.json, into tests/web/node_modules).
set -euo pipefail
cd "$(dirname "$0")/.."
if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q 'install ok installed'; then
  echo "Installing: chromium"
  scripts/apt-install.sh chromium
fi
if [ ! -d tests/web/node_modules/playwright-core ]; then
  (cd tests/web && npm ci --no-audit --no-fund)
fi
