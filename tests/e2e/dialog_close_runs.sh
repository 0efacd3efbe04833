#!/bin/bash
# In either family: twenty times in a row, start the program, start a run on
# a slow paced drive and close the window (WM_CLOSE) while the run goes on,
# at a different moment each time. Each read of a track takes about 425 ms
# and the reads fill nearly the whole run, so most closes land while the
# worker is inside a read: on the 9x family inside the sector service, which
# the close must wait out before it releases the library; on NT inside
# ReadFile of the simulated-disk driver. Every time the window goes and the
# process ends with exit code 0: no crash, no hang.
# Families: 9x nt
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" "$2"
# 8.5 KiB a track at 20 kB/s.
e2e_drive slow.img 40 2 17 512 speed=20,20
e2e_serve_drives
# One wine server for all the starts (the driver's keeps running already).
[ "$E2E_FAMILY" = nt ] || wineserver -p

# Milliseconds from the handled Start to the close: right away, within the
# first read, at its end, and further on.
DELAYS=(0 5 20 60 110 170 240 320 400 425 440 520 610 700 800 850 900 1000 1300 1700)
for i in "${!DELAYS[@]}"; do
    e2e_start "run$i"
    e2e_open_main_window
    e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 \
        -- sleep "${DELAYS[$i]}" -- enabled 102 -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
    e2e_assert_eq 1 "$E2E_OUT" "close $((i + 1)) after ${DELAYS[$i]} ms: Stop enabled, the run going on"
    e2e_expect_exit "run$i" 0 20
done
e2e_pass
