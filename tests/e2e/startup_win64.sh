#!/bin/bash
# The 64-bit program on the NT family: the same check as startup_nt_drive.sh.
# PLATTERSCOPE_WIN64 names the 64-bit platterscope.exe; without it the test is
# skipped.
source "$(dirname "$0")/../../tools/wine/common.sh"
wine_require_win64 startup_win64
STARTUP_NT_EXE=$PLATTERSCOPE_WIN64
source "$(dirname "$0")/startup_nt_drive.sh"
