#!/usr/bin/env bash
# Builds everything and runs every test, the Windows DLLs under Wine included; then the whole suite
# again under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer, and each fuzz
# target for a moment.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/setup-win32.sh
cmake --preset default >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure

cmake --preset asan >/dev/null
cmake --build build-asan
ctest --preset asan

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz
