#!/usr/bin/env bash
# Builds everything and registers every bundled sample disc.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build
for disc in build/samples-out/*/; do
  echo "== ${disc}"
  build/bin/wertowik register "$disc" --no --no-catalogue || true
done
