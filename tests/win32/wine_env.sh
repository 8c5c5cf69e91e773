# Sourced by the Wine test scripts: the environment every Wine process of the tests runs in.
# $1: the tests' Wine folder (prefix/, locale/, discs/). Run Wine programs as: in_wine_env wine ...
wine_dir=$(cd "$1" 2>/dev/null && pwd || echo "$1")
export WINEPREFIX="$wine_dir/prefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko installers, no prompts for them.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine wants a home folder; CI may run without one.
export HOME="${HOME:-$wine_dir}"
# No display is needed: the boxes never reach the screen.
unset DISPLAY WAYLAND_DISPLAY

# A Polish system: the ANSI code page is Windows-1250, as on the machines the libraries serve.
# The locale is generated into the test folder, so nothing of the system is changed. It is set
# for the Wine processes only (this shell has no such locale).
in_wine_env() {
  if [ -d "$wine_dir/locale/pl_PL.UTF-8" ]; then
    env -u LANG -u LANGUAGE LOCPATH="$wine_dir/locale" LC_ALL=pl_PL.UTF-8 "$@"
  else
    env -u LANG -u LANGUAGE LC_ALL=C.UTF-8 "$@"
  fi
}
