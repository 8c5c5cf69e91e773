#!/usr/bin/env bash
# Builds the host, its six libraries and the sample discs (nothing of the tests, fuzzers and
# benchmarks), registers every bundled sample disc (the folders and their ISO 9660 images) into a
# fresh catalogue under build/, and shows the catalogue and a search in it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --demo
if [ ! -f build/CMakeCache.txt ]; then
  # A first build leaves the tests and benchmarks out; scripts/test.sh turns them on again.
  cmake --preset default -DWERTOWIK_BUILD_TESTS=OFF -DWERTOWIK_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build build --target wertowik sample_images
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
echo
echo "To browse and search it in a web browser: build/bin/wertowik serve --catalogue $catalogue --open"
