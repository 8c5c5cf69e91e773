#!/usr/bin/env bash
# The speed of the imports: builds, writes large made-up discs (a 64 MB CHIP index, a 200,000-line
# legacy CHIP table, a Komputer Świat disc of 20,000 pages, and each at half that size; and an ISO
# 9660 image of a Komputer Świat disc of 100,000 pages in one folder, and of 50,000) into
# build/bench-discs, and times `wertowik register DISC --no-catalogue` on each beside `cat` of the
# same bytes (both from the page cache, filled by one read after the files are dropped from it).
# Prints the ratio to the reading time with its target, the peak memory with its bound (plain and
# with --json), how the time grows between the sizes, and the Windows DLL's time under Wine beside
# the Linux module's (or why it was not measured).
# Then the speed of storing: a shelf of 200 small disc images (a third each of CHIP indexes,
# legacy tables and Komputer Świat pages, with filler files, about 570 MB) registered in one
# command into a fresh catalogue beside the same command with --no-catalogue, and the 200,000-line
# table (167,000 programs) likewise, whose difference is the time of storing it. The runs of the
# two commands take turns, so that a slow spell of the machine falls on both.
#   scripts/bench.sh [--only imports|storing] [RUNS]
#                               RUNS timed runs of each command, the fastest counts (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
only=all
if [ "${1:-}" = --only ]; then
  only="${2:?--only takes imports or storing}"
  shift 2
fi
runs="${1:-7}"
scripts/setup.sh
cmake --preset default >/dev/null
if [ "$only" = all ]; then
  cmake --build build >/dev/null
else
  cmake --build build --target wertowik wertowik-bench-discs wertowik-measure >/dev/null
fi

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
# verdict VALUE BOUND: "pass" when VALUE <= BOUND, else "FAIL".
verdict() { awk -v v="$1" -v b="$2" 'BEGIN {print (v <= b ? "pass" : "FAIL")}'; }

# report KIND SIZE TARGET [image]: the disc's folder, or with "image" its ISO 9660 image (read
# whole by cat, as the image's file). TARGET is the largest ratio to cat allowed ("-": none). The
# peak memory of the plain run must stay within the bytes read and 32 MB, that of a run with
# --json within twice that.
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
  local j_best j_median j_kb j_status
  read -r j_best j_median j_kb j_status < <("$measure" 1 "$wertowik" register "$folder" --no-catalogue --no --json)
  seconds["$kind-$size-$form"]=$w_best
  local ratio bound_mb peak_mb json_mb ratio_verdict="" name
  ratio=$(awk -v w="$w_best" -v c="$cat_best" 'BEGIN {printf "%.2f", (c > 0 ? w / c : 0)}')
  [ "$target" != - ] && ratio_verdict=" $(verdict "$ratio" "$target")"
  # The bound is the bytes the import reads (the index, the table, all pages) and 32 MB.
  bound_mb=$(awk -v b="$bytes" 'BEGIN {printf "%.0f", b / 1048576 + 32}')
  peak_mb=$(awk -v k="$w_kb" 'BEGIN {printf "%.1f", k / 1024}')
  json_mb=$(awk -v k="$j_kb" 'BEGIN {printf "%.1f", k / 1024}')
  name="$kind"
  if [ "$form" = image ]; then name="$kind.iso"; fi
  printf '%-11s %7s %7.1f MB %7.4f s %7.4f s %6s x (<= %s x%s) %6s MB (<= %s MB %s) %6s MB (<= %s MB %s) exit %s/%s\n' \
    "$name" "$size" "$(awk -v b="$bytes" 'BEGIN {print b / 1048576}')" "$cat_best" "$w_best" "$ratio" "$target" \
    "$ratio_verdict" "$peak_mb" "$bound_mb" "$(verdict "$peak_mb" "$bound_mb")" \
    "$json_mb" "$((2 * bound_mb))" "$(verdict "$json_mb" "$((2 * bound_mb))")" "$w_status" "$j_status"
}

# growth KIND SMALL LARGE [image]: how the time grows from one size to the other. Four times the
# input may take at most 4.4 times as long (twice: 2.2 times).
growth() {
  local kind="$1" small="$2" large="$3" form="${4:-folder}"
  local times bound
  times=$(awk -v s="$small" -v l="$large" 'BEGIN {printf "%g", l / s}')
  bound=$(awk -v t="$times" 'BEGIN {printf "%.1f", t * 1.1}')
  awk -v a="${seconds[$kind-$small-$form]}" -v b="${seconds[$kind-$large-$form]}" -v k="$kind$([ "$form" = image ] && echo .iso)" \
    -v t="$times" -v bound="$bound" \
    'BEGIN {r = (a > 0 ? b / a : 0); printf "%-11s %s times the size takes %.2f times as long (<= %s %s)\n", k, t, r, bound, (r <= bound ? "pass" : "FAIL")}'
}

# The Windows DLL under Wine beside the Linux module, on the table and the index: the time of one
# registration in each, as a ratio (see wine_report). Both hosts do the same with what the library
# hands them: neither keeps the entries' bytes nor the progress values (the Windows test host
# counts the calls). Needs the win32 preset's build and a Wine that runs 32-bit programs; says why
# not otherwise.
wine_dir=build/bench-wine
wine_host=build-win32/bin/wtk_win32_host.exe
wine_reason() {
  if ! command -v wine >/dev/null 2>&1; then
    echo "no wine (scripts/setup-win32.sh installs it)"
  elif ! wine --version >/dev/null 2>&1; then
    echo "wine --version fails: $(wine --version 2>&1 | head -n 1)"
  elif [ ! -f "$wine_host" ] || [ ! -f build-win32/plugins/chip.dll ]; then
    echo "no Windows build (cmake --preset win32 && cmake --build build-win32)"
  else
    mkdir -p "$wine_dir" "$out/unclaimed"
    : >"$wine_dir/no-drives.txt"
    if ! tests/win32/prepare_wine.sh "$wine_dir" "$wine_dir/no-drives.txt" >/dev/null 2>&1; then
      echo "no Wine prefix could be made in $wine_dir"
      return
    fi
    ln -sfn "$(cd "$out/unclaimed" && pwd)" "$wine_dir/prefix/dosdevices/m:"
    local status=0 said
    said=$(tests/win32/run_in_wine.sh "$wine_dir" "$wine_host" register --drive M --no 2>&1 >/dev/null) || status=$?
    if [ "$status" -ge 64 ]; then
      echo "the Windows host does not run under Wine (exit $status: $(echo "$said" | head -n 1))"
    fi
  fi
}

# One registration's time beyond the program's start (and Wine's, which varies more from run to run
# than the work measured): each host registers the disc once, and wine_repeat times in one run
# (the Windows test host's --repeat; wertowik given the disc that many times), and the difference
# of the fastest runs of each, divided by wine_repeat - 1, is the time of one registration. The
# table is drive N: and the index drive O:, both mapped at once; the runs of both hosts on both
# discs take turns, so that a busy spell of the machine falls on all of them alike.
wine_repeat=5
wine_run() {  # wine_run DRIVE TIMES [COMMAND...]: COMMAND prefixed to the Windows host's run
  local drive=$1 times=$2
  shift 2
  "$@" tests/win32/run_in_wine.sh "$wine_dir" "$wine_host" register --drive "$drive" --no --only chip \
    --count-progress --repeat "$times"
}
linux_run() {  # linux_run FOLDER TIMES
  local folder=$1 times=$2 folders=() k
  for ((k = 0; k < times; k++)); do folders+=("$folder"); done
  "$measure" 1 "$wertowik" register "${folders[@]}" --no-catalogue --no --only chip | awk '{print $1}'
}
fastest() { awk -v a="$1" -v b="$2" 'BEGIN {print (a == "" || b < a ? b : a)}'; }

wine_report() {
  local reason
  reason=$(wine_reason)
  if [ -n "$reason" ]; then
    echo "wine        not measured: $reason"
    return
  fi
  local names=("chip-table 200000" "chip-index 67108864") drives=(N O) folders=() i
  for i in 0 1; do
    folders[$i]=$(disc ${names[$i]})
    ln -sfn "$(cd "${folders[$i]}" && pwd)" "$wine_dir/prefix/dosdevices/${drives[$i],,}:"
  done
  # Wine reads a drive's files afresh only with a new server; one run each warms it up.
  tests/win32/run_in_wine.sh "$wine_dir" wineserver --kill || true
  tests/win32/run_in_wine.sh "$wine_dir" wineserver --wait || true
  for i in 0 1; do wine_run "${drives[$i]}" 1 >/dev/null 2>&1 || true; done
  local wine_once=("" "") wine_many=("" "") linux_once=("" "") linux_many=("" "") turn
  for ((turn = 0; turn < runs; turn++)); do
    for i in 0 1; do
      wine_once[$i]=$(fastest "${wine_once[$i]}" "$(wine_run "${drives[$i]}" 1 "$measure" 1 | awk '{print $1}')")
      wine_many[$i]=$(fastest "${wine_many[$i]}" "$(wine_run "${drives[$i]}" "$wine_repeat" "$measure" 1 | awk '{print $1}')")
      linux_once[$i]=$(fastest "${linux_once[$i]}" "$(linux_run "${folders[$i]}" 1)")
      linux_many[$i]=$(fastest "${linux_many[$i]}" "$(linux_run "${folders[$i]}" "$wine_repeat")")
    done
  done
  local kind size
  for i in 0 1; do
    read -r kind size <<<"${names[$i]}"
    awk -v k="$kind" -v s="$size" -v n="$wine_repeat" -v w1="${wine_once[$i]}" -v wn="${wine_many[$i]}" \
        -v l1="${linux_once[$i]}" -v ln="${linux_many[$i]}" \
      'BEGIN {w = (wn - w1) / (n - 1); l = (ln - l1) / (n - 1); r = (l > 0 ? w / l : 0);
              printf "wine        %-10s %9s  one registration: Wine %.4f s, Linux %.4f s: %.2f x (<= 1.5 x %s)  [1 and %d times: Wine %.4f s, %.4f s; Linux %.4f s, %.4f s]\n",
                     k, s, w, l, r, (w <= 0 || l <= 0 ? "not measured: more registrations took no longer" : r <= 1.5 ? "pass" : "FAIL"),
                     n, w1, wn, l1, ln}'
  done
}

imports() {
echo "disc           size       bytes       cat  wertowik  ratio (target)            peak memory (bound)      with --json (bound)       exit"
report chip-index 16777216 -
report chip-index 33554432 -
report chip-index 67108864 1.5
report chip-table 50000 -
report chip-table 100000 -
report chip-table 200000 4
report chip-table 400000 -
report chip-table 800000 -
report ks-pages 5000 -
report ks-pages 10000 -
report ks-pages 20000 1.2
report ks-pages 50000 - image
report ks-pages 100000 - image
echo
growth chip-index 16777216 67108864
growth chip-index 33554432 67108864
growth chip-table 50000 200000
growth chip-table 200000 800000
growth ks-pages 5000 20000
growth ks-pages 50000 100000 image
echo
wine_report
echo "(exit 0: registered, 1: no library claimed the disc, 2: the registration failed)"
}

# The shelf of small discs as ISO 9660 images, made unless they are there.
collection_images() {
  local folder="$out/collection-200" images="$out/collection-200-iso"
  if [ ! -f "$folder/.complete" ]; then
    rm -rf "$images"
    "$generate" collection "$folder" 200
    touch "$folder/.complete"
  fi
  mkdir -p "$images"
  local disc name
  for disc in "$folder"/disc-*; do
    name="$images/$(basename "$disc").iso"
    if [ ! -f "$name" ]; then
      genisoimage -quiet -input-charset utf-8 -J -joliet-long -m .windows-label \
        -V "$(head -n 1 "$disc/.windows-label" 2>/dev/null || echo CD)" -o "$name.part" "$disc"
      mv "$name.part" "$name"
    fi
  done
}

# compare NAME TARGET ARGUMENT...: `wertowik register ARGUMENT...` into a fresh catalogue and with
# --no-catalogue, RUNS times each, taking turns. Prints the fastest and the median of each, their
# difference (the time storing takes) and their ratio.
compare() {
  local name="$1" target="$2"
  shift 2
  local catalogue="$out/storing.sqlite" r with=() without=() best median kb status with_status=0
  for ((r = 0; r < runs; r++)); do
    rm -f "$catalogue" "$catalogue-wal" "$catalogue-shm"
    read -r best median kb status < <("$measure" 1 "$wertowik" register "$@" --catalogue "$catalogue" --no)
    with+=("$best")
    with_status=$status
    read -r best median kb status < <("$measure" 1 "$wertowik" register "$@" --no-catalogue --no)
    without+=("$best")
  done
  rm -f "$catalogue" "$catalogue-wal" "$catalogue-shm"
  printf '%s\n' "${with[@]}" | sort -g >"$out/with.times"
  printf '%s\n' "${without[@]}" | sort -g >"$out/without.times"
  awk -v name="$name" -v target="$target" -v status="$with_status/$status" '
    NR == FNR { w[FNR] = $1; nw = FNR; next }
    { n[FNR] = $1; nn = FNR }
    END {
      wm = w[int(nw / 2) + 1]; nm = n[int(nn / 2) + 1]
      printf "%-22s %7.3f s %7.3f s   %7.3f s %7.3f s   %7.3f s %7.3f s   %5.2f x %5.2f x   %s   exit %s\n",
        name, w[1], wm, n[1], nm, w[1] - n[1], wm - nm, (n[1] > 0 ? w[1] / n[1] : 0), (nm > 0 ? wm / nm : 0),
        target, status
    }' "$out/with.times" "$out/without.times"
}

storing() {
  collection_images
  local images=("$out"/collection-200-iso/disc-*.iso) table
  table="$(disc chip-table 200000)"
  # Read once, so that every run finds the discs in the page cache.
  cat "${images[@]}" >/dev/null
  cat "$table/Tabela.dbt" >/dev/null
  printf '200 images: %d files, %.0f MB\n' "${#images[@]}" \
    "$(du -cb "${images[@]}" | tail -n 1 | awk '{print $1 / 1048576}')"
  echo "                        with catalogue         --no-catalogue         storing                ratio"
  echo "what                     fastest  median       fastest  median       fastest  median        fastest median   target"
  compare "200 images" "(ratio <= 2 x)" "${images[@]}"
  compare "table, 167,000 progr." "(storing < 0.5 s)" "$table"
  echo "(exit: with catalogue/without; 0 every disc registered, 1 some disc not claimed)"
}

case "$only" in
  all) imports; echo; storing ;;
  imports) imports ;;
  storing) storing ;;
  *) echo "bench.sh: --only takes imports or storing" >&2; exit 64 ;;
esac
