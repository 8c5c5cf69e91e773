#!/usr/bin/env bash
# Builds everything and runs every test, the Windows DLLs under Wine included.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/setup-win32.sh
cmake --preset default >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure
