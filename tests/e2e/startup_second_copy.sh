#!/bin/bash
# A second copy started while the first one's main window is open (and
# minimised, another program's window in front) ends with exit code 1 without
# any message box; the first window is restored and brought to the front.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/disk0.img" 100 4 17 512
echo "drive disk0.img 100 4 17 512" >"$E2E_APP/Rawio32.cfg"

e2e_start first
e2e_harness wait-window "$E2E_MAIN_CAPTION" 60000 -- minimise
e2e_start_exe other "$E2E_BUILD/harness_probe.exe" dialog
e2e_harness wait-window "Probe dialog" 60000
# The other window in front, the first one minimised behind it.
e2e_harness_until $'1\n1\n0' window "Probe dialog" -- foreground -- window "$E2E_MAIN_CAPTION" -- iconic -- foreground

e2e_start second
e2e_harness_try process platterscope.exe -- no-box 3000
[ $? -eq 0 ] || e2e_fail "the second copy showed a box: $E2E_ERR"
e2e_expect_exit second 1
# The first window restored and in front.
e2e_harness_until $'0\n1' window "$E2E_MAIN_CAPTION" -- iconic -- foreground

e2e_still_running first
e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- window "Probe dialog" -- cancel
e2e_expect_exit first 0
e2e_expect_exit other 0
e2e_pass
