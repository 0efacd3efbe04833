#!/bin/bash
# run-in-prefix.sh BUILD_DIR FAMILY EXE [ARGS...]
# Runs one Windows program under Wine in a fresh copy of the family's template
# prefix (nt or 9x, from make-templates.sh), on a throw-away X display, in the
# zh_CN.UTF-8 locale, and returns the program's exit code. The prefix copy is
# removed afterwards.
set -uo pipefail

if [ $# -lt 3 ]; then
    echo "usage: $0 BUILD_DIR nt|9x EXE [ARGS...]" >&2
    exit 2
fi
here=$(dirname "$(readlink -f "$0")")
source "$here/common.sh"

build_dir=$(cd "$1" && pwd) || exit 2
family=$2
exe=$3
shift 3
case $family in nt | 9x) ;; *) echo "unknown family '$family' (nt or 9x)" >&2; exit 2 ;; esac
wine_check_locale || exit 2
wine_skip_unless_runnable "$exe"

mkdir -p "$build_dir/wine-runs"
run_dir=$(mktemp -d "$build_dir/wine-runs/$(basename "$exe" .exe).XXXXXX") || exit 2
export WINEPREFIX="$run_dir/prefix"
export WINEDEBUG=-all
# No debugger on a crash: a crashed program ends at once and the test fails.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LC_ALL=zh_CN.UTF-8

cleanup() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    wine_stop_xvfb
    wine_remove_server_dir "$WINEPREFIX"
    rm -rf "$run_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine_copy_template "$build_dir/wine-templates/$family" "$WINEPREFIX" || exit 2
wine_start_xvfb "$run_dir" || exit 2

"$WINE" "$exe" "$@"
exit $?
