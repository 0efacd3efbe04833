#!/bin/bash
# make-templates.sh BUILD_DIR
# Makes the two template Wine prefixes the tests copy: BUILD_DIR/wine-templates/nt
# (Wine's default Windows version, NT family) and .../9x (reports Windows 98).
# Both are built side by side; each is built anew on every run so that a Wine
# upgrade or a half-made prefix never lingers.
set -euo pipefail

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
    WINEPREFIX="$prefix" wineboot -i >"$templates/$family.log" 2>&1
    if [ "$family" = 9x ]; then
        WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine' /v Version /d win98 /f >>"$templates/$family.log" 2>&1
    fi
    # Let the registry reach the disk before anyone copies the prefix.
    WINEPREFIX="$prefix" wineserver -w
    rm -rf "$templates/$family"
    mv "$prefix" "$templates/$family"
}

mkdir -p "$templates"
rm -f "$templates/unavailable"
# Some kernels are built without 32-bit execution (Wine's 32-bit loader then
# fails with "Exec format error"): every Wine test needs it, so they are all
# skipped there, with the reason, rather than failed or passed.
if ! loader=$(wine --version 2>&1); then
    printf 'Wine cannot run on this machine: %s' "$(printf '%s' "$loader" | tail -n 1)" >"$templates/unavailable"
    echo "make-templates: SKIPPED: $(cat "$templates/unavailable")" >&2
    exit 77
fi
start=$SECONDS
make_prefix nt &
nt_job=$!
make_prefix 9x &
nine_job=$!
status=0
wait $nt_job || { echo "make-templates: the nt prefix failed:" >&2; cat "$templates/nt.log" >&2; status=1; }
wait $nine_job || { echo "make-templates: the 9x prefix failed:" >&2; cat "$templates/9x.log" >&2; status=1; }
if [ $status -eq 0 ] && ! grep -q '"Version"="win98"' "$templates/9x/user.reg"; then
    echo "make-templates: the 9x prefix does not carry Version=win98" >&2
    status=1
fi
[ $status -eq 0 ] && echo "make-templates: nt and 9x prefixes ready in $templates ($((SECONDS - start)) s)"
exit $status
