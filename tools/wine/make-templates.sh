#!/bin/bash
# make-templates.sh BUILD_DIR
# Makes the two template Wine prefixes the tests copy: BUILD_DIR/wine-templates/nt
# (Wine's default Windows version, NT family) and .../9x (reports Windows 98).
# Both are built side by side; each is built anew on every run so that a Wine
# upgrade or a half-made prefix never lingers. On a host that cannot run
# 32-bit programs the nt template is a 64-bit-only prefix made by the 64-bit
# loader, and there is no 9x template: 9x.unavailable says why, and every
# test of that family is skipped with it.
set -euo pipefail
here=$(dirname "$(readlink -f "$0")")
source "$here/common.sh"

if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
templates="$build_dir/wine-templates"

export WINEDEBUG=-all
# No Mono or Gecko prompts: nothing under test needs them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

make_prefix() {
    local family=$1
    local prefix="$templates/$family.new"
    rm -rf "$prefix"
    WINEPREFIX="$prefix" "$WINE" wineboot -i >"$templates/$family.log" 2>&1
    if [ "$family" = 9x ]; then
        WINEPREFIX="$prefix" "$WINE" reg add 'HKCU\Software\Wine' /v Version /d win98 /f >>"$templates/$family.log" 2>&1
    fi
    # Let the registry reach the disk before anyone copies the prefix.
    WINEPREFIX="$prefix" wineserver -w
    rm -rf "$templates/$family"
    mv "$prefix" "$templates/$family"
}

mkdir -p "$templates"
rm -f "$templates/unavailable" "$templates/9x.unavailable"
families=(nt 9x)
if [ -n "$WINE_NO_32BIT" ]; then
    # The 64-bit loader makes a 64-bit-only prefix only when asked to.
    export WINEARCH=win64
    families=(nt)
    rm -rf "$templates/9x"
    printf '%s: the 9x family is 32-bit only' "$WINE_NO_32BIT" >"$templates/9x.unavailable"
    echo "make-templates: $WINE_NO_32BIT: the nt template is a 64-bit-only prefix, made by $WINE_LOADER; no 9x template" >&2
fi
# A machine whose Wine cannot run at all makes no template: every Wine test
# is then skipped, with the reason, rather than failed or passed.
if ! loader=$("$WINE" --version 2>&1); then
    printf 'Wine cannot run on this machine: %s' "$(printf '%s' "$loader" | tail -n 1)" >"$templates/unavailable"
    echo "make-templates: SKIPPED: $(cat "$templates/unavailable")" >&2
    exit 77
fi
start=$SECONDS
declare -A jobs=()
for family in "${families[@]}"; do
    make_prefix "$family" &
    jobs[$family]=$!
done
status=0
for family in "${families[@]}"; do
    wait "${jobs[$family]}" || { echo "make-templates: the $family prefix failed:" >&2; cat "$templates/$family.log" >&2; status=1; }
done
if [ $status -eq 0 ] && [ -d "$templates/9x" ] && ! grep -q '"Version"="win98"' "$templates/9x/user.reg"; then
    echo "make-templates: the 9x prefix does not carry Version=win98" >&2
    status=1
fi
[ $status -eq 0 ] && echo "make-templates: prefixes ${families[*]} ready in $templates ($((SECONDS - start)) s)"
exit $status
