#!/usr/bin/env bash
# The Debian package as a user gets it: made by CPack from the built tree, clean of lintian errors,
# unpacked with dpkg -x into a scratch folder, where the unpacked wertowik finds its libraries and
# registers a sample disc; its manual renders without warnings and names every option the commands
# take, as the bash and zsh completion do, and both completion scripts load; wertowik itself is
# linked without libarchive and the HTTP server, which its own modules in the package load.
#   package_test.sh BUILD_DIR VERSION
set -euo pipefail
build="$1" version="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
deb="$scratch/out/wertowik_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb: $(ls "$scratch/out")"
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libsqlite3 libiso9660 libcdio libcpp-httplib libarchive libstdc++6 libc6; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

lintian --fail-on error "$deb" >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log"; fail "lintian"; }
! grep '^E:' "$scratch/lintian.log" || fail "lintian errors"

root="$scratch/root"
dpkg -x "$deb" "$root"
wertowik="$root/usr/bin/wertowik"
export WERTOWIK_NO_OPEN=1 XDG_DATA_HOME="$scratch/data"
unset WERTOWIK_PLUGINS
libraries="$("$wertowik" plugins --json)"
for name in chip tarvo holvar enter plavik vexlo; do
  [[ "$libraries" == *"$root/usr/lib/wertowik/plugins/$name.so"* ]] || fail "no $name.so from the package: $libraries"
done
disc="$(ls -d "$build"/samples-out/*/ | head -n 1)"
"$wertowik" register "$disc" --no --quiet --catalogue "$scratch/c.sqlite" || fail "register $disc"
[ "$("$wertowik" list --json --catalogue "$scratch/c.sqlite" | grep -c '"id"')" -eq 1 ] || fail "the disc is not listed"
# wertowik itself starts without libarchive and the HTTP server: the modules beside its plug-ins
# load them, an archive's from the package, and serve without its module ends with 69.
needed="$(readelf -d "$wertowik" | grep NEEDED)"
[[ "$needed" != *libarchive* && "$needed" != *httplib* ]] || fail "wertowik itself needs: $needed"
image="$(ls "$build"/samples-iso/*.iso | head -n 1)"
gzip -c "$image" >"$scratch/disc.iso.gz"
"$wertowik" register "$scratch/disc.iso.gz" --no --quiet --catalogue "$scratch/gz.sqlite" || fail "register $image gzipped"
status=0
"$wertowik" serve --port 70000 2>"$scratch/serve.log" || status=$?
[ "$status" -eq 64 ] || fail "serve from the package: $status $(cat "$scratch/serve.log")"
mkdir -p "$scratch/bare/bin"
cp "$wertowik" "$scratch/bare/bin/"
status=0
"$scratch/bare/bin/wertowik" serve --port 70000 2>"$scratch/bare.log" || status=$?
[ "$status" -eq 69 ] && grep -q wertowik-web.so "$scratch/bare.log" || fail "serve without its module: $status $(cat "$scratch/bare.log")"
# WERTOWIK_PLUGINS names another folder, and --plugins yet another.
mkdir "$scratch/none"
[[ "$(WERTOWIK_PLUGINS="$scratch/none" "$wertowik" plugins --json 2>/dev/null)" != *chip.so* ]] || fail "WERTOWIK_PLUGINS not heeded"
[[ "$(WERTOWIK_PLUGINS="$scratch/none" "$wertowik" plugins --json --plugins "$root/usr/lib/wertowik/plugins")" == *chip.so* ]] ||
  fail "--plugins does not outweigh WERTOWIK_PLUGINS"

manual="$root/usr/share/man/man1/wertowik.1.gz"
warnings="$(LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$manual" 2>&1 >"$scratch/manual.txt")"
[ -z "$warnings" ] || fail "man -l: $warnings"
grep -q '^EXIT STATUS' "$scratch/manual.txt" || fail "the manual did not render"
bash_completion="$root/usr/share/bash-completion/completions/wertowik"
zsh_completion="$root/usr/share/zsh/vendor-completions/_wertowik"
manual_source="$(zcat "$manual" | sed 's/\\-/-/g')"
for command in $("$wertowik" --help | awk '/^Subcommands:/ {on = 1; next} on && !NF {exit} on {print $1}'); do
  for option in $("$wertowik" "$command" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<<"$manual_source" || fail "the manual lacks $command $option"
    grep -qF -- "$option" "$bash_completion" || fail "the bash completion lacks $command $option"
    grep -qF -- "$option" "$zsh_completion" || fail "the zsh completion lacks $command $option"
  done
  grep -qE "^\.B wertowik $command\$" <<<"$manual_source" || fail "the manual's synopsis lacks $command"
  grep -qF -- "$command" "$bash_completion" || fail "the bash completion lacks $command"
  grep -qF -- "'$command:" "$zsh_completion" || fail "the zsh completion lacks $command"
done

# Polish help under a Polish locale, generated here or not there at all; English otherwise.
[ -f "$root/usr/share/locale/pl/LC_MESSAGES/wertowik.mo" ] || fail "no Polish messages in the package"
mkdir -p "$scratch/locale"
localedef -i pl_PL -f UTF-8 "$scratch/locale/pl_PL.UTF-8" >/dev/null 2>&1 || true
[ -d "$scratch/locale/pl_PL.UTF-8" ] || fail "localedef could not make pl_PL.UTF-8"
for locale_path in "$scratch/locale" "$scratch/none"; do
  polish="$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LOCPATH="$locale_path" LANG=pl_PL.UTF-8 "$wertowik" --help)"
  for text in "Użycie:" "Polecenia:" "Zaproponuj płyty" "Przykłady:"; do
    [[ "$polish" == *"$text"* ]] || fail "LANG=pl_PL.UTF-8 (LOCPATH $locale_path): no \"$text\" in: $polish"
  done
done
english="$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=C "$wertowik" --help)"
[[ "$english" == *"Usage:"*"Offer discs"*"Examples:"* ]] || fail "LANG=C: $english"
# Every line of every help is translated, but for the examples: a text of the help changed without
# its translation shows here.
for command in "" $("$wertowik" --help | awk '/^Subcommands:/ {on = 1; next} on && !NF {exit} on {print $1}'); do
  in_english="$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=C "$wertowik" $command --help)"
  in_polish="$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=pl_PL.UTF-8 "$wertowik" $command --help)"
  untranslated="$(grep -Fxf <(grep -vE '^(  wertowik .*)?$' <<<"$in_english") <<<"$in_polish" || true)"
  [ -z "$untranslated" ] || fail "wertowik $command --help: not in Polish: $untranslated"
done

# The completion loads, and completes a command and an option.
completed="$(bash -c '
  source /usr/share/bash-completion/bash_completion
  source "$1"
  COMP_WORDS=(wertowik exp); COMP_CWORD=1; COMP_LINE="wertowik exp"; COMP_POINT=${#COMP_LINE}; _wertowik
  echo "${COMPREPLY[*]}"
  COMP_WORDS=(wertowik export --ex); COMP_CWORD=2; COMP_LINE="wertowik export --ex"; COMP_POINT=${#COMP_LINE}; _wertowik
  echo "${COMPREPLY[*]}"' bash "$bash_completion" 2>&1)"
[ "$completed" = $'export\n--excel' ] || fail "bash completion: $completed"
# -D: no dump of the completion functions (with -d it would write one, and replace that file).
HOME="$scratch" ZDOTDIR="$scratch" zsh -f -c \
  'fpath=("$1" $fpath); autoload -Uz compinit && compinit -u -D && (( $+_comps[wertowik] ))' \
  zsh "$(dirname "$zsh_completion")" 2>&1 || fail "the zsh completion did not load"
echo "package $deb: lintian clean of errors, unpacked wertowik registers $disc"
