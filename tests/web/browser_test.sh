#!/usr/bin/env bash
# The web view in headless Chromium: builds a catalogue of the sample discs and a hostile one, starts
# wertowik serve and drives the pages (browser_test.mjs).
#   browser_test.sh WERTOWIK SAMPLES_DIR OUTPUT_DIR
# Exit 77 (skipped) only when there is no Chromium on this machine.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
chromium="${WERTOWIK_CHROMIUM:-/usr/bin/chromium}"
if [ ! -x "$chromium" ]; then
  echo "no Chromium at $chromium (scripts/setup-web.sh installs it); skipped" >&2
  exit 77
fi
if [ ! -d "$here/node_modules/playwright-core" ]; then
  (cd "$here" && npm ci --no-audit --no-fund)
fi
exec node "$here/browser_test.mjs" "$chromium" "$@"
