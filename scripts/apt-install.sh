#!/usr/bin/env bash
# Installs the Debian packages named as arguments, as root or through sudo.
# A mirror caught in the middle of a sync fails `apt-get update` for a moment ("File has unexpected
# size"); the update is tried again after a pause, and when it still fails the install goes on with
# the package lists that did arrive: it fails by itself when a package really cannot be had.
set -euo pipefail

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi

for attempt in 1 2 3 4; do
  if "${as_root[@]}" apt-get update -qq; then break; fi
  if [ "$attempt" -eq 4 ]; then
    echo "apt-get update failed four times; installing from the package lists at hand" >&2
  else
    sleep $((attempt * 20))
  fi
done
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq "$@" >/dev/null
