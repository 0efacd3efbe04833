#!/bin/bash
# NT family through the simulated-disk driver: drives 0, 1, 2 and 4 are
# served (the demo disks, then one of 1500 cylinders), drive 3 is missing.
# Discovery stops at the gap and finds the three drives with their geometry,
# in place of Wine's own drive 0. The partition walk of each drive positions
# its read with SetFilePointer, which Wine refuses on such a device (42h):
# two error boxes per drive, no read reaches the driver, and each drive was
# opened twice (discovery, walk). Choosing drive 2 shows the limit rule's box
# and disables Start; drive 1 enables it again.
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" nt
disks="$E2E_DIR/disks"
stats="$E2E_DIR/stats.txt"
e2e_mkdisk demo "$disks"
e2e_mkdisk blank "$disks/big.img" 1500 2 9 512
e2e_mkdisk blank "$disks/after-gap.img" 10 2 9 512
e2e_simdisk --stats "$stats" 0="$disks/demo0.img 1024 16 63 512" 1="$disks/demo1.img 120 4 17 512" \
    2="$disks/big.img 1500 2 9 512" 4="$disks/after-gap.img 10 2 9 512"

e2e_start main
e2e_open_main_window
walk_boxes=
for _ in 0 1 2; do
    walk_boxes+="caption: Platterscope
text: Set file pointer error ( code=42h )
icon: error
buttons: OK
owner: none
--
caption: Platterscope
text: Reading error ( code=42h )
icon: error
buttons: OK
owner: none
--
"
done
e2e_assert_eq "$walk_boxes" "$E2E_BOXES" "boxes of the partition walks"
e2e_assert_eq "drive=0 opens=2 unbuffered=0 reads=0 failed=0 bytes=0 end=0
drive=1 opens=2 unbuffered=0 reads=0 failed=0 bytes=0 end=0
drive=2 opens=2 unbuffered=0 reads=0 failed=0 bytes=0 end=0
drive=4 opens=0 unbuffered=0 reads=0 failed=0 bytes=0 end=0" "$(tr -d '\r' <"$stats")" "the driver's counters after the opening"

e2e_harness window "$E2E_MAIN_CAPTION" -- no-box 300 -- items 104 -- text 110 -- text 111 -- text 112 -- enabled 101 \
    -- enabled 106 -- focus
e2e_assert_eq "HDD0
HDD1
HDD2
柱面     :\t1024
柱头 :    \t  16
扇区   :  \t  63
1
1
101" "$E2E_OUT" "list, labels and controls after the opening"

LIMIT_BOX="caption: Platterscope
text: There are more then 1024 cylinders\\nor 255 heads or 63 setors per track in this drive.\\nThis program not supported such drives.\\nSet LBA mode in your BIOS setup for this drive.
icon: information
buttons: OK
owner: $E2E_MAIN_CAPTION"
e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 2 -- wait-box 10000 -- box -- answer OK -- text 110 -- text 111 \
    -- text 112 -- text 109 -- enabled 101
e2e_assert_eq "$LIMIT_BOX
Cylinders:\t1500
Heads:    \t   2
Sectors:  \t   9
Physical drive 2 selected.
0" "$E2E_OUT" "drive 2 over the limits"

e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 1 -- no-box 500 -- text 110 -- text 111 -- text 112 -- text 109 \
    -- enabled 101
e2e_assert_eq "Cylinders:\t 120
Heads:    \t   4
Sectors:  \t  17
Physical drive 1 selected.
1" "$E2E_OUT" "drive 1 within the limits"

e2e_harness window "$E2E_MAIN_CAPTION" -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
