#!/usr/bin/env bash
# Builds everything, registers every bundled sample disc (the folders and their ISO 9660 images)
# into a fresh catalogue under build/, and shows the catalogue and a search in it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build
catalogue=build/demo-catalogue.sqlite
rm -f "$catalogue" "$catalogue-wal" "$catalogue-shm"
export WERTOWIK_NO_OPEN=1   # the demonstration opens no viewer
# --no answers the libraries' questions; a disc no library claims makes the exit status 1.
build/bin/wertowik register build/samples-out/*/ build/samples-iso/*.iso --no --catalogue "$catalogue" || true
echo
build/bin/wertowik list --catalogue "$catalogue"
echo
build/bin/wertowik search narzedzia --catalogue "$catalogue"   # finds "Narzędzia"
echo
build/bin/wertowik search program --licence freeware --catalogue "$catalogue"
