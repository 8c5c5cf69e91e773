#!/usr/bin/env bash
# What every command of a build prints, recorded into a folder, and two such records compared: the
# check that a change of the code's layout changed no output.
#
#   scripts/compare-outputs.sh record BUILD_DIR OUTPUT_DIR
#       Runs BUILD_DIR/bin/wertowik on copies of the sample discs (BUILD_DIR/samples-out, each file
#       given one fixed time, and ISO 9660 images and archives made of them): register, list, show,
#       files, search, export, remove, decode, plugins and every command's --help, plain and --json,
#       in English and in Polish; then `serve` on a loopback port, asked for every /api/ request
#       and the pages. Each case leaves NAME.out, NAME.err and NAME.status in OUTPUT_DIR, with the
#       paths of the build and of the work folder, the times of registration and the port written
#       as @BUILD@, @WORK@, @TIME@ and @PORT@.
#   scripts/compare-outputs.sh diff BEFORE_DIR AFTER_DIR
#       Lists the cases that differ (diff -r); exits 1 when any does.
set -euo pipefail

usage() {
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 64
}

[ $# -eq 3 ] || usage
mode="$1"

if [ "$mode" = diff ]; then
  if diff -r "$2" "$3"; then
    echo "no difference: $(find "$2" -name '*.out' | wc -l) cases"
    exit 0
  fi
  exit 1
fi
[ "$mode" = record ] || usage

build="$(cd "$2" && pwd)"
mkdir -p "$3"
out="$(cd "$3" && pwd)"
rm -f "$out"/*.out "$out"/*.err "$out"/*.status
wertowik="$build/bin/wertowik"
[ -x "$wertowik" ] || { echo "no $wertowik: build first" >&2; exit 66; }
work="$(mktemp -d /tmp/wertowik-compare.XXXXXX)"
server=
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export WERTOWIK_NO_OPEN=1 TZ=UTC COLUMNS=100
unset WERTOWIK_PLUGINS XDG_DATA_HOME LANGUAGE LC_ALL LC_MESSAGES
export HOME="$work/home"
mkdir -p "$HOME"

# The discs: the samples with one time for every file, so that two builds see the same disc.
cp -r "$build/samples-out" "$work/discs"
find "$work/discs" -exec touch -h -d '2004-07-01 12:00:00 UTC' {} +
cmake -DSAMPLES="$work/discs" -DIMAGES="$work/iso" -DMKISOFS="$(command -v genisoimage || command -v xorriso)" \
  -P "$(dirname "$0")/../samples/make_images.cmake"
mkdir -p "$work/archives"
gzip -n -c "$work/iso/enter.iso" > "$work/archives/enter.iso.gz"
xz -c "$work/iso/chip-browser.iso" > "$work/archives/chip-browser.iso.xz"
(cd "$work/iso" && TZ=UTC zip -q -X "$work/archives/two.zip" ks-ekspert.iso polish-names.iso)
find "$work/archives" -exec touch -h -d '2004-07-01 12:00:00 UTC' {} +
discs=("$work"/discs/*/ "$work"/iso/*.iso "$work"/archives/*)

normalise() {
  sed -E -e "s#$work#@WORK@#g" -e "s#$build#@BUILD@#g" \
    -e 's/[0-9]{4}-[0-9]{2}-[0-9]{2}[T ][0-9]{2}:[0-9]{2}:[0-9]{2}(\.[0-9]+)?Z?/@TIME@/g' \
    -e 's/(127\.0\.0\.1|localhost):[0-9]+/\1:@PORT@/g'
}

# run NAME [LANG] -- ARGUMENTS...: wertowik's output, error output and exit status as case NAME.
run() {
  local name="$1" lang=C.UTF-8
  shift
  if [ "$1" != -- ]; then
    lang="$1"
    shift
  fi
  shift
  local status=0
  (cd "$work" && env LANG="$lang" "$wertowik" "$@" >"$work/stdout" 2>"$work/stderr" </dev/null) || status=$?
  normalise <"$work/stdout" >"$out/$name.out"
  normalise <"$work/stderr" >"$out/$name.err"
  echo "$status" >"$out/$name.status"
}

commands=(register list files show search export remove decode plugins serve)
for lang in C.UTF-8 pl_PL.UTF-8; do
  tag="${lang%%_*}"; tag="${tag%%.*}"
  run "help-$tag" "$lang" -- --help
  run "none-$tag" "$lang" --
  run "unknown-$tag" "$lang" -- frobnicate
  run "bad-option-$tag" "$lang" -- list --bogus
  for command in "${commands[@]}"; do
    run "help-$command-$tag" "$lang" -- "$command" --help
  done
  run "missing-disc-$tag" "$lang" -- register "$work/no-such-disc" --no-catalogue
  run "bad-issue-$tag" "$lang" -- register "$work/discs/enter" --issue 300 --no-catalogue
  run "bad-licence-$tag" "$lang" -- search x --licence 'shareware?' --catalogue "$work/empty.sqlite"
  run "empty-list-$tag" "$lang" -- list --catalogue "$work/empty.sqlite"
done
run version -- --version

run plugins -- plugins
run plugins-json -- plugins --json
run plugins-folder -- plugins --plugins "$build/plugins" --json
run plugins-none -- plugins --plugins "$work/no-such-folder"

# Registration, into catalogue A plainly (the images and archives found catalogued already) and
# into catalogue B as JSON, every disc stored; B is the one read, A the one removed from.
a="$work/a.sqlite" b="$work/b.sqlite"
run register-all -- register "${discs[@]}" --no --catalogue "$a"
run register-all-json -- register "${discs[@]}" --no --again --json --catalogue "$b"
run register-again -- register "$work/discs/enter/" --no --catalogue "$a"
run register-again-json -- register "$work/iso/chip-legacy.iso" --no --json --catalogue "$a"
run register-streams -- register "$work/discs/ks-ekspert/" --yes --json --no-catalogue --streams "$work/streams"
run register-streams-plain -- register "$work/discs/chip-browser/" "$work/discs/enter/" --no --no-catalogue \
  --streams "$work/streams-two"
run register-only -- register "$work/discs/enter/" --only enter --label 'Płyta Enter' --issue 7 --year 2004 --no \
  --no-catalogue --json
run register-only-other -- register "$work/discs/enter/" --only chip --no --no-catalogue
run register-record -- register "$work/discs/unrelated/" --record "$(printf '%050d' 0)" --no --no-catalogue --json
run register-bad-record -- register "$work/discs/unrelated/" --record 12 --no --no-catalogue
run register-drive -- register "$work/discs/enter/" --drive E --no --no-catalogue --quiet
run register-bad-drive -- register "$work/discs/enter/" --drive EF --no --no-catalogue
run register-claimed-only -- register "$work/discs/unrelated/" --claimed-only --no --catalogue "$work/c.sqlite"
run register-small-files -- register "$work/discs/chip-browser/" --max-file-size 1K --no --no-catalogue
run register-not-a-disc -- register "$work/home" --no --no-catalogue
run decode -- decode "$work/streams/discs.bin" "$work/streams/entries.bin"
run decode-json -- decode "$work/streams/discs.bin" "$work/streams/entries.bin" --json
run decode-missing -- decode "$work/streams/none.bin" "$work/streams/entries.bin"

for json in "" --json; do
  tag="${json:+-json}"
  run "list$tag" -- list $json --catalogue "$b"
  run "list-words$tag" -- list chip 2004 $json --catalogue "$b"
  run "list-none$tag" -- list --library none $json --catalogue "$b"
  run "list-year$tag" -- list --year 2004 $json --catalogue "$b"
  for id in $(seq 1 24) 999 abc; do
    run "show-$id$tag" -- show "$id" $json --catalogue "$b"
    run "files-$id$tag" -- files "$id" $json --catalogue "$b"
  done
  run "files-path$tag" -- files 4 Gry $json --catalogue "$b"
  run "files-no-path$tag" -- files 1 no/such/folder $json --catalogue "$b"
  run "search-program$tag" -- search program $json --catalogue "$b"
  run "search-folded$tag" -- search zrodlo $json --catalogue "$b"
  run "search-narzedzia$tag" -- search narzedzia $json --catalogue "$b"
  run "search-licence$tag" -- search program --licence freeware $json --catalogue "$b"
  run "search-files$tag" -- search setup --files $json --catalogue "$b"
  run "search-programs$tag" -- search gra --programs $json --catalogue "$b"
  run "search-pattern$tag" -- search '*.exe' $json --catalogue "$b"
  run "search-pattern-html$tag" -- search '*.htm?' --files $json --catalogue "$b"
  run "search-limit$tag" -- search a --limit 2 $json --catalogue "$b"
  run "search-all$tag" -- search e --limit 0 $json --catalogue "$b"
  run "search-disc$tag" -- search program --disc 3 $json --catalogue "$b"
  run "search-library$tag" -- search program --library chip $json --catalogue "$b"
  run "search-nothing$tag" -- search zzzzqqq $json --catalogue "$b"
done
run export-json -- export --catalogue "$b"
run export-csv -- export --format csv --catalogue "$b"
run export-excel -- export --format csv --excel --catalogue "$b"
run export-bad -- export --format xml --catalogue "$a"
run export-file -- export --format csv --output "$work/export.csv" --catalogue "$a"
normalise <"$work/export.csv" >"$out/export-file.csv"

# The web view of catalogue B.
(cd "$work" && LANG=C.UTF-8 exec "$wertowik" serve --port 0 --catalogue "$b" >"$work/serve.out" 2>"$work/serve.err") &
server=$!
url=
for _ in $(seq 1 100); do
  url="$(grep -o 'http://[^ ]*/' "$work/serve.out" || true)"
  [ -n "$url" ] && break
  sleep 0.1
done
[ -n "$url" ] || { cat "$work/serve.err" >&2; echo "serve did not start" >&2; exit 70; }
get() {
  local name="$1" path="$2"
  shift 2
  curl -s -D "$work/headers" -o "$work/body" "$@" "$url${path#/}" || true
  grep -iv '^\(date\|content-length\|keep-alive\):' "$work/headers" | tr -d '\r' | normalise >"$out/web-$name.err"
  normalise <"$work/body" >"$out/web-$name.out"
  echo 0 >"$out/web-$name.status"
}
get page /
get page-pl / -H 'Accept-Language: pl'
get page-disc /disc/1
get page-search '/search?q=program'
get app-js /app.js
get app-css /app.css
get favicon /favicon.svg
get favicon-ico /favicon.ico
get content /disc/4/content/index.htm
get content-missing /disc/1/content/no-such-file
get discs /api/discs
get discs-words '/api/discs?q=chip%202004'
get discs-none '/api/discs?library=none'
get discs-year '/api/discs?year=2004'
get discs-bad-year '/api/discs?year=x'
for id in $(seq 1 24) 999 abc; do
  get "disc-$id" "/api/disc/$id"
  get "disc-$id-files" "/api/disc/$id/files"
done
get disc-files-parent '/api/disc/1/files?parent=1'
get disc-files-bad-parent '/api/disc/1/files?parent=x'
get search '/api/search?q=program'
get search-folded '/api/search?q=zrodlo'
get search-licence '/api/search?q=program&licence=freeware'
get search-bad-licence '/api/search?q=program&licence=what'
get search-library '/api/search?q=program&library=chip'
get search-disc '/api/search?q=program&disc=3'
get search-page '/api/search?q=e&page=2'
get search-programs '/api/search?q=e&only=programs'
get search-only-files '/api/search?q=setup&only=files'
get search-pattern '/api/search?q=*.exe'
get search-empty '/api/search?q='
get files '/api/files?q=setup'
get export '/api/export'
get export-csv '/api/export?format=csv'
get export-excel '/api/export?format=csv&excel=1'
get export-bad '/api/export?format=xml'
get export-search '/api/export?q=program&format=csv'
get export-search-json '/api/export?q=program&licence=freeware'
get unknown '/api/nothing'
kill "$server"
wait "$server" 2>/dev/null || true
server=
normalise <"$work/serve.out" >"$out/serve.out"
normalise <"$work/serve.err" >"$out/serve.err"

run remove -- remove 3 --catalogue "$a"
run remove-json -- remove 4 --json --catalogue "$a"
run remove-missing -- remove 999 --catalogue "$a"
run list-after-remove -- list --json --catalogue "$a"
echo "recorded $(find "$out" -name '*.out' | wc -l) cases in $out"
