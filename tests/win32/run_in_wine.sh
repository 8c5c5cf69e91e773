#!/bin/bash
# run_in_wine.sh WINE_DIR PROGRAM [ARGUMENTS...]
# Runs a Windows program in the tests' Wine prefix (made by prepare_wine.sh) and exits with its status.
set -euo pipefail
. "$(dirname "$0")/wine_env.sh" "$1"
shift
in_wine_env wine "$@"
