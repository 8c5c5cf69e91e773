#!/bin/bash
# prepare_wine.sh WINE_DIR DRIVES_FILE
# Makes the Wine side of the tests ready, reusing what an earlier run made:
#  - WINE_DIR/prefix: a private 32-bit Wine prefix (the first wineboot takes a while);
#  - WINE_DIR/locale: a Polish UTF-8 locale for it, so Windows' ANSI code page is 1250;
#  - WINE_DIR/discs/X: the test discs of DRIVES_FILE, each mapped as drive X: through the prefix's
#    dosdevices and registered as a CD-ROM drive, so that Wine reads the volume label from the
#    file .windows-label in the disc's root.
# DRIVES_FILE lines: LETTER LABEL FILE...; label "-" for a disc without a label, "!" for a drive
# without a disc.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
drives_file=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
mkdir -p "$1"
. "$here/wine_env.sh" "$1"
started=$(date +%s)

if [ ! -d "$wine_dir/locale/pl_PL.UTF-8" ]; then
  mkdir -p "$wine_dir/locale"
  # localedef reports harmless warnings with a non-zero status; the folder tells whether it worked.
  localedef -i pl_PL -f UTF-8 "$wine_dir/locale/pl_PL.UTF-8" >/dev/null 2>&1 || true
  if [ ! -d "$wine_dir/locale/pl_PL.UTF-8" ]; then
    echo "warning: no Polish locale could be made; Wine runs with its default code page" >&2
  fi
fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  in_wine_env wineboot --init >/dev/null 2>&1
  in_wine_env wineserver --wait
  echo "Wine prefix made in $(( $(date +%s) - started )) s"
fi

reg_file="$wine_dir/drives.reg"
{
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n'
} > "$reg_file"
while read -r letter label files; do
  case "$letter" in ''|'#'*) continue ;; esac
  lower=$(echo "$letter" | tr 'A-Z' 'a-z')
  disc="$wine_dir/discs/$letter"
  rm -rf "$disc"
  if [ "$label" != "!" ]; then
    mkdir -p "$disc"
    if [ "$label" != "-" ]; then
      printf '%s\n' "$label" > "$disc/.windows-label"
    fi
    for file in $files; do
      printf '<html><body>%s</body></html>\r\n' "$file" > "$disc/$file"
    done
  fi
  ln -sfn "$disc" "$WINEPREFIX/dosdevices/$lower:"
  printf '"%s:"="cdrom"\r\n' "$lower" >> "$reg_file"
done < "$drives_file"

# The drive types are read when the Wine server starts.
in_wine_env wine regedit /S "$(in_wine_env winepath -w "$reg_file" 2>/dev/null)" >/dev/null 2>&1
in_wine_env wineserver --kill || true
in_wine_env wineserver --wait || true
echo "Wine prefix ready in $(( $(date +%s) - started )) s"
