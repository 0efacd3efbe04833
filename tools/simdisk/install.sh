#!/bin/bash
# install.sh SYS_FILE [--stats PATH] N=DRIVE_LINE...
#
# Installs the simulated-disk driver SYS_FILE (simdisk.sys of a Windows build
# folder) into the 64-bit Wine prefix $WINEPREFIX and starts it, so that
# \\.\PHYSICALDRIVEN of every program in that prefix is the simulated drive N
# (0..9). Each DRIVE_LINE is
#
#   IMAGE CYLINDERS HEADS SECTORS BYTES_PER_SECTOR [speed=FIRST,LAST]
#         [fault=OFFSET,LENGTH,STATUS]...
#
# IMAGE is a raw image (tools/mkdisk makes them), an absolute Unix path or a
# Windows path. speed= paces every read to a linear profile in kB/s (1 kB =
# 1024 bytes) from the first cylinder to the last, as the stand-in sector
# service does. fault= makes every read that touches bytes OFFSET ..
# OFFSET+LENGTH-1 of the disk fail with the NTSTATUS STATUS (0xC...: e.g.
# 0xC000009C, which programs see as error 17h). --stats PATH names a file that
# receives one line per drive after every request:
#   drive=N opens=A unbuffered=B reads=C failed=D bytes=E end=F
#
# Run it with DISPLAY set as for the programs that will use the drives: the
# wine session it starts is theirs too, and a GUI program started on another
# display than the session's ends at once.
#
# The wine server of the prefix is left running (persistent) with the
# driver loaded; end it with `wineserver -k`. `net stop simdisk` and
# `net start simdisk` (through the wine64 loader) take the drives away and
# bring them back. A drive whose image cannot be opened when the driver
# starts is left out, so discovery stops there; once a drive is served, an
# open after its image has gone reads nothing (error 15h, not ready).
set -uo pipefail

usage() {
    echo "usage: WINEPREFIX=... $0 SYS_FILE [--stats PATH] N=DRIVE_LINE..." >&2
    exit 2
}
[ $# -ge 2 ] || usage
sys=$1
shift
stats=
if [ "${1:-}" = --stats ]; then
    [ $# -ge 2 ] || usage
    stats=$2
    shift 2
fi
[ $# -ge 1 ] || usage
[ -n "${WINEPREFIX:-}" ] && [ -f "$WINEPREFIX/system.reg" ] || {
    echo "$0: WINEPREFIX must name an existing Wine prefix" >&2
    exit 2
}
[ -f "$sys" ] || { echo "$0: no driver file $sys" >&2; exit 2; }
if ! grep -q '^#arch=win64' "$WINEPREFIX/system.reg"; then
    echo "$0: $WINEPREFIX is not a 64-bit prefix; the driver host there is 32-bit" >&2
    exit 2
fi

# The 64-bit loader (wine64, from common.sh): through plain `wine` the
# service would be marked as a 32-bit one and fail to load.
source "$(dirname "$(readlink -f "$0")")/../wine/common.sh"
[ -x "$WINE64_LOADER" ] || { echo "$0: no wine64 loader" >&2; exit 2; }

windows_path() {  # an absolute Unix path as Z:\..., anything else unchanged
    case $1 in
    /*) printf 'Z:%s' "${1//\//\\}" ;;
    *) printf '%s' "$1" ;;
    esac
}

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# A step is tried twice: under load, Wine's loader has been seen to fail to
# start reg.exe once ("ShellExecuteEx" failing in start.exe, its fallback)
# right after the same tool had run. Every step may be repeated: reg add
# overwrites, and a repeated sc create or net start fails as it would alone.
run() {
    local try
    for try in 1 2; do
        "$@" </dev/null >>"$log" 2>&1 && return 0
        echo "(attempt $try of 2 failed: $*)" >>"$log"
        sleep 1
    done
    echo "$0: failed: $*" >&2
    cat "$log" >&2
    exit 1
}

# Let a prefix still being set up finish first; then a persistent server in
# a session of its own, so that the system processes it starts (the service
# manager, the driver host) never hold the caller's terminal or pipes.
wineserver -w
setsid wineserver -p </dev/null >/dev/null 2>&1

key='HKLM\System\CurrentControlSet\Services\simdisk'
if ! wine64 sc query simdisk </dev/null >/dev/null 2>&1; then
    run wine64 sc create simdisk type= kernel start= demand binPath= "\\??\\$(windows_path "$(readlink -f "$sys")")"
else
    wine64 net stop simdisk </dev/null >>"$log" 2>&1
fi
wine64 reg delete "$key\\Parameters" /f </dev/null >>"$log" 2>&1
run wine64 reg add "$key\\Parameters" /f
[ -z "$stats" ] || run wine64 reg add "$key\\Parameters" /v Stats /t REG_SZ /d "$(windows_path "$stats")" /f
for drive_arg in "$@"; do
    number=${drive_arg%%=*}
    line=${drive_arg#*=}
    case $number in [0-9]) ;; *) echo "$0: '$drive_arg' is not N=DRIVE_LINE with N 0..9" >&2; exit 2 ;; esac
    image=${line%% *}
    rest=${line#"$image"}
    # A file link of that name would take precedence over the driver's device.
    rm -f "$WINEPREFIX/dosdevices/physicaldrive$number"
    run wine64 reg add "$key\\Parameters" /v "Drive$number" /t REG_SZ /d "$(windows_path "$image")$rest" /f
done
run wine64 net start simdisk
