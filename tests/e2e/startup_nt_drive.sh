#!/bin/bash
# NT family: Wine's \\.\PHYSICALDRIVE0 (10000 x 255 x 63) is found, so the
# main window opens with HDD0 listed; cancelling it (IDCANCEL, as Escape does)
# ends the process with exit code 0. Wine's stand-in drive fails every read,
# so the dialog's opening shows boxes first; they are answered with OK.
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt

e2e_start main
e2e_open_main_window
[ "$E2E_BOX_COUNT" -eq 0 ] || e2e_log "boxes before the main window:"$'\n'"$E2E_BOXES"
captions=$(grep '^caption: ' <<<"$E2E_BOXES" | sort -u)
[ -z "$captions" ] || e2e_assert_eq "caption: Platterscope" "$captions" "captions of the boxes before the main window"

e2e_harness window "$E2E_MAIN_CAPTION" -- caption -- items 104 -- text 110
e2e_assert_eq "$E2E_MAIN_CAPTION
HDD0
柱面     :\t10000" "$E2E_OUT" "caption, drive list and cylinders of drive 0"
e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
