#!/bin/bash
# run_in_wine.sh WINE_DIR PROGRAM.exe [ARGUMENTS...]   runs a Windows program under Wine
# run_in_wine.sh WINE_DIR wineserver|winepath [...]   runs a Wine tool
# in the tests' Wine prefix (made by prepare_wine.sh) and exits with the program's status.
set -euo pipefail
. "$(dirname "$0")/wine_env.sh" "$1"
shift
case "$1" in
  wineserver|winepath) in_wine_env "$@" ;;
  *) in_wine_env wine "$@" ;;
esac
