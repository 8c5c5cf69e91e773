#!/usr/bin/env bash
# The speed of the imports: builds, writes large made-up discs (a 64 MB CHIP index, a 200,000-line
# legacy CHIP table, a Komputer Świat disc of 20,000 pages, and each at half that size; and an ISO
# 9660 image of a Komputer Świat disc of 100,000 pages in one folder, and of 50,000) into
# build/bench-discs, and times `wertowik register DISC --no-catalogue` on each beside `cat` of the
# same bytes (both from the page cache, filled by one read after the files are dropped from it).
# Prints the ratio to the reading time, the peak memory and, between the two sizes, how the time
# grows.
#   scripts/bench.sh [RUNS]     RUNS timed runs of each command, the fastest counts (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-7}"
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build >/dev/null

out=build/bench-discs
generate=build/bin/wertowik-bench-discs
measure=build/bin/wertowik-measure
wertowik=build/bin/wertowik
mkdir -p "$out"

# disc KIND SIZE: the disc's folder, written unless it is there already.
disc() {
  local folder="$out/$1-$2"
  if [ ! -f "$folder/.complete" ]; then
    "$generate" "$1" "$folder" "$2"
    touch "$folder/.complete"
  fi
  echo "$folder"
}

# image KIND SIZE: an ISO 9660 image of the disc's folder (Joliet names, its label as volume
# identifier), made unless it is there.
image() {
  local folder="$(disc "$1" "$2")" file="$out/$1-$2.iso"
  if [ ! -f "$file" ]; then
    genisoimage -quiet -input-charset utf-8 -J -joliet-long -m .complete -m .windows-label \
      -V "$(head -n 1 "$folder/.windows-label")" -o "$file.part" "$folder"
    mv "$file.part" "$file"
  fi
  echo "$file"
}

# The bytes an import reads: the index, the table, or every page.
data_files() {
  case "$1" in
    chip-index) echo "$2/Browser/Chip.dat" ;;
    chip-table) echo "$2/Tabela.dbt" ;;
    ks-pages) echo "$2/datalo/htm" ;;
  esac
}

declare -A seconds
# report KIND SIZE TARGET [image]: the disc's folder, or with "image" its ISO 9660 image (read
# whole by cat, as the image's file).
report() {
  local kind="$1" size="$2" target="$3" form="${4:-folder}"
  local folder data bytes
  if [ "$form" = image ]; then
    folder="$(image "$kind" "$size")"
    data="$folder"
  else
    folder="$(disc "$kind" "$size")"
    data="$(data_files "$kind" "$folder")"
  fi
  if [ -d "$data" ]; then
    bytes=$(find "$data" -type f -printf '%s\n' | awk '{s += $1} END {print s}')
    read_command=(sh -c 'cat "$0"/*' "$data")
  else
    bytes=$(stat -c %s "$data")
    read_command=(cat "$data")
  fi
  # Into the page cache as a read brings it, whether the disc was just written or not.
  "$measure" --uncache "$data"
  "${read_command[@]}" >/dev/null
  local cat_best cat_median cat_kb cat_status
  read -r cat_best cat_median cat_kb cat_status < <("$measure" "$runs" "${read_command[@]}")
  local w_best w_median w_kb w_status
  read -r w_best w_median w_kb w_status < <("$measure" "$runs" "$wertowik" register "$folder" --no-catalogue --no)
  seconds["$kind-$size-$form"]=$w_best
  local ratio bound_mb
  ratio=$(awk -v w="$w_best" -v c="$cat_best" 'BEGIN {printf "%.2f", (c > 0 ? w / c : 0)}')
  # The bound is the bytes the import reads (the index, the table, all pages) and 32 MB.
  bound_mb=$(awk -v b="$bytes" 'BEGIN {printf "%.0f", b / 1048576 + 32}')
  printf '%-11s %9s %9.1f MB %8.4f s %8.4f s %7s x (<= %s x) %7.1f MB (<= %s MB) exit %s\n' \
    "$kind$([ "$form" = image ] && echo .iso)" "$size" "$(awk -v b="$bytes" 'BEGIN {print b / 1048576}')" "$cat_best" "$w_best" "$ratio" "$target" \
    "$(awk -v k="$w_kb" 'BEGIN {print k / 1024}')" "$bound_mb" "$w_status"
}

growth() {
  local kind="$1" small="$2" large="$3" form="${4:-folder}"
  awk -v a="${seconds[$kind-$small-$form]}" -v b="${seconds[$kind-$large-$form]}" -v k="$kind$([ "$form" = image ] && echo .iso)" \
    'BEGIN {printf "%-11s twice the size takes %.2f times as long\n", k, (a > 0 ? b / a : 0)}'
}

echo "disc             size      bytes        cat   wertowik   ratio (target)       peak memory (bound)"
report chip-index 33554432 2
report chip-index 67108864 2
report chip-table 100000 2
report chip-table 200000 2
report ks-pages 10000 1.5
report ks-pages 20000 1.5
report ks-pages 50000 - image
report ks-pages 100000 - image
echo
growth chip-index 33554432 67108864
growth chip-table 100000 200000
growth ks-pages 10000 20000
growth ks-pages 50000 100000 image
echo "(exit 0: registered, 1: no library claimed the disc, 2: the registration failed)"
