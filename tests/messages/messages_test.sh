#!/usr/bin/env bash
# The host's messages in Polish: every message the sources mark for translation has a Polish form in
# host/po/pl.po (a message added in English only fails here), and wertowik run under a Polish locale
# answers in Polish, under LANG=C in English.
#   messages_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir="$1" build="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

(cd "$source_dir" && find host -name '*.cpp' | sort) > "$work/sources"
(cd "$source_dir" && xgettext --language=C++ --from-code=UTF-8 --keyword=Tr --keyword=Say --keyword=SayCount:1,2 \
  --keyword=TrCount:1,2 --keyword=N_ --no-location -o "$work/wertowik.pot" -f "$work/sources")
# msgcmp fails on a message with no translation (or only a fuzzy one); the help texts it reports as
# unused are looked up at run time, by the text CLI11 holds.
msgcmp "$source_dir/host/po/pl.po" "$work/wertowik.pot" 2>"$work/msgcmp" || { grep -v 'is not used' "$work/msgcmp"; exit 1; }

wertowik="$build/bin/wertowik"
failures=0
# expect LANG WANTED ARGUMENTS...: the first line of what wertowik says holds WANTED.
expect() {
  local lang="$1" wanted="$2"
  shift 2
  local said
  said="$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG="$lang" "$wertowik" "$@" 2>&1 | head -n 1 || true)"
  if [[ "$said" != *"$wanted"* ]]; then
    echo "LANG=$lang wertowik $*: wanted \"$wanted\", got \"$said\""
    failures=$((failures + 1))
  fi
}
missing="$work/no-such-disc"
expect pl_PL.UTF-8 "brak folderu ani obrazu płyty $missing" register "$missing" --no-catalogue
expect C "no disc folder or image $missing" register "$missing" --no-catalogue
expect pl_PL.UTF-8 "--issue przyjmuje liczbę od 0 do 255" register "$work" --issue 300 --no-catalogue
expect pl_PL.UTF-8 "Brak płyt w $work/empty.sqlite." list --catalogue "$work/empty.sqlite"
expect C "No discs in $work/empty.sqlite." list --catalogue "$work/empty.sqlite"
mkdir "$work/folder.sqlite"
expect pl_PL.UTF-8 "katalog $work/folder.sqlite jest folderem, nie plikiem" list --catalogue "$work/folder.sqlite"
expect pl_PL.UTF-8 "nieznana licencja „shareware?”" search x --licence 'shareware?' --catalogue "$work/empty.sqlite"
expect pl_PL.UTF-8 "nieoczekiwany argument: --bogus" list --bogus
expect C "The following argument was not expected: --bogus" list --bogus
exit $((failures > 0))
