#!/bin/bash
# The 64-bit program on the NT family: the same check as startup_nt_drive.sh.
# PLATTERSCOPE_WIN64 names the 64-bit platterscope.exe; without it the test is
# skipped.
if [ -z "${PLATTERSCOPE_WIN64:-}" ]; then
    echo "[startup_win64] SKIPPED: PLATTERSCOPE_WIN64 is not set (path of the 64-bit platterscope.exe)" >&2
    exit 0
fi
if [ ! -f "$PLATTERSCOPE_WIN64" ]; then
    echo "[startup_win64] FAIL: PLATTERSCOPE_WIN64=$PLATTERSCOPE_WIN64 does not exist" >&2
    exit 1
fi
if ! x86_64-w64-mingw32-objdump -f "$PLATTERSCOPE_WIN64" 2>/dev/null | grep -q 'pei-x86-64'; then
    echo "[startup_win64] FAIL: $PLATTERSCOPE_WIN64 is not a 64-bit program" >&2
    exit 1
fi
STARTUP_NT_EXE=$PLATTERSCOPE_WIN64
source "$(dirname "$0")/startup_nt_drive.sh"
