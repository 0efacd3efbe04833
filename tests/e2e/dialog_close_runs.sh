#!/bin/bash
# 9x family: twenty times in a row, start the program, start a run on a slow
# paced drive and close the window (WM_CLOSE) while the run goes on, at a
# different moment each time. Each read of a track takes about 425 ms and
# the reads fill nearly the whole run, so most closes land while the worker
# is inside the sector service, which the close must wait out before it
# releases the library. Every time the window goes and the process ends
# with exit code 0: no crash, no hang.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
e2e_mkdisk blank "$E2E_APP/slow.img" 40 2 17 512
# 8.5 KiB a track at 20 kB/s.
echo "drive slow.img 40 2 17 512 speed=20,20" >"$E2E_APP/Rawio32.cfg"
# One wine server for all the starts.
wineserver -p

# Milliseconds from the handled Start to the close: right away, within the
# first read, at its end, and further on.
DELAYS=(0 5 20 60 110 170 240 320 400 425 440 520 610 700 800 850 900 1000 1300 1700)
for i in "${!DELAYS[@]}"; do
    e2e_start "run$i"
    e2e_harness process platterscope.exe -- wait-window "$E2E_MAIN_CAPTION" 60000 -- press 101 \
        -- sleep "${DELAYS[$i]}" -- enabled 102 -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
    e2e_assert_eq 1 "$E2E_OUT" "close $((i + 1)) after ${DELAYS[$i]} ms: Stop enabled, the run going on"
    e2e_expect_exit "run$i" 0 20
done
e2e_pass
