#!/bin/bash
# NT family: Wine's own \\.\PHYSICALDRIVE0 (10000 x 255 x 63) is over the
# limits, so the opening ends with the information box owned by the main
# window, Start disabled and the focus on the drive list; the no-buffering
# box is enabled on this family. The user's saved screen-saver setting is
# off: the program leaves it off while open, switches it on when it closes,
# and does not save that to the profile.
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt
# The setting lives as long as the wine server: keep it up between calls.
wineserver -p
DESKTOP_KEY='HKCU\Control Panel\Desktop'
"$WINE" reg add "$DESKTOP_KEY" /v ScreenSaveActive /t REG_SZ /d 0 /f >/dev/null 2>&1 || e2e_fail "cannot save the screen-saver setting"
saved_setting() {
    "$WINE" reg query "$DESKTOP_KEY" /v ScreenSaveActive 2>/dev/null | tr -d '\r' | awk '$1 == "ScreenSaveActive" { print $3 }'
}

e2e_harness screensaver
e2e_assert_eq 0 "$E2E_OUT" "screen saver before the program"

e2e_start main
e2e_open_main_window
# Wine's stand-in drive fails its reads, so the partition walk may show
# boxes first; the last box is the limit rule's.
last_box=$(awk -v RS='\n--\n' 'NF { box = $0 } END { print box }' <<<"$E2E_BOXES")
e2e_assert_eq "caption: Platterscope
text: There are more then 1024 cylinders\\nor 255 heads or 63 setors per track in this drive.\\nThis program not supported such drives.\\nSet LBA mode in your BIOS setup for this drive.
icon: information
buttons: OK
owner: $E2E_MAIN_CAPTION" "$last_box" "last box of the opening"

e2e_harness window "$E2E_MAIN_CAPTION" -- no-box 300 -- wait-focus 104 5000 -- focus -- items 104 -- text 110 -- text 111 -- text 112 \
    -- enabled 101 -- enabled 102 -- enabled 103 -- enabled 104 -- enabled 107 -- enabled 106
e2e_assert_eq "104
HDD0
柱面     :\t10000
柱头 :    \t 255
扇区   :  \t  63
0
0
0
1
1
1" "$E2E_OUT" "focus, list, labels and controls after the opening"

e2e_harness screensaver
e2e_assert_eq 0 "$E2E_OUT" "screen saver while the window is open"

e2e_harness window "$E2E_MAIN_CAPTION" -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_harness screensaver
e2e_assert_eq 1 "$E2E_OUT" "screen saver after the window closed"
e2e_assert_eq 0 "$(saved_setting)" "saved screen-saver setting after the program"
e2e_pass
