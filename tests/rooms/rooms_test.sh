#!/usr/bin/env bash
# Every include of host/ by a room of the host names a room that docs/architecture.md allows it
# (or a file of another room that it allows by name), and every room of host/ is in that table.
#   rooms_test.sh SOURCE_DIR
set -euo pipefail
source_dir="$1"
table="$source_dir/docs/architecture.md"
declare -A allowed
while IFS= read -r line; do
  if [[ "$line" =~ ^\|\ \`([a-z]+)\`\ \|(.*)\|$ ]]; then
    allowed[${BASH_REMATCH[1]}]="$(grep -o '`[^`]*`' <<<"${BASH_REMATCH[2]}" | tr -d '`' | tr '\n' ' ' || true)"
  fi
done <"$table"
[ "${#allowed[@]}" -gt 0 ] || { echo "no table of rooms in $table"; exit 1; }

failures=0
for folder in "$source_dir"/host/*/; do
  room="$(basename "$folder")"
  [ "$room" = po ] && continue
  if [ -z "${allowed[$room]+set}" ]; then
    echo "host/$room/ is no room of $table"
    failures=$((failures + 1))
    continue
  fi
  while IFS= read -r hit; do
    file="${hit%%:*}"
    target="$(sed -E 's/.*#include "host\/([^"]*)".*/\1/' <<<"$hit")"
    used="${target%%/*}"
    [ "$used" = "$room" ] && continue
    ok=0
    for entry in ${allowed[$room]}; do
      if [ "$entry" = "$used" ] || [ "$entry" = "$target" ]; then
        ok=1
      fi
    done
    if [ "$ok" -eq 0 ]; then
      echo "${file#"$source_dir"/} includes host/$target: $room may not use $used"
      failures=$((failures + 1))
    fi
  done < <(grep -rH '#include "host/' "$folder" || true)
done
[ "$failures" -eq 0 ] && echo "every include of the host's rooms is allowed"
exit $((failures > 0))
