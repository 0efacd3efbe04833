#!/bin/bash
# 9x family, five drives through the stand-in. Drive 0 has 1025 cylinders:
# the opening disables Start, shows the information box owned by the main
# window, and leaves the focus on the drive list. The labels use the
# code-page-936 formats at first and the English ones after a selection
# change. Drive 1 sits exactly at 1024/255/63 and is accepted without a box;
# 256 heads (drive 2) and 64 sectors (drive 3) are refused again. Drive 4
# has a FAT partition, which shows on the chart. The screen saver is off
# while the window is open and on again once it has closed.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" 9x
e2e_install_standin
# Only sector 0 is ever read from these drives: a short image will do.
for name in cylinders limits heads sectors; do head -c 512 /dev/zero >"$E2E_APP/$name.img"; done
e2e_mkdisk table "$E2E_APP/fat.img" 100 4 17 512 0 0 1 6:1/0/1-49/3/17
cat >"$E2E_APP/Rawio32.cfg" <<EOF
drive cylinders.img 1025 16 63 512
drive limits.img 1024 255 63 512
drive heads.img 1024 256 63 512
drive sectors.img 1024 255 64 512
drive fat.img 100 4 17 512
EOF
# The setting lives as long as the wine server: keep it up between calls.
wineserver -p

LIMIT_BOX="caption: Platterscope
text: There are more then 1024 cylinders\\nor 255 heads or 63 setors per track in this drive.\\nThis program not supported such drives.\\nSet LBA mode in your BIOS setup for this drive.
icon: information
buttons: OK
owner: $E2E_MAIN_CAPTION"

# Pixels of one colour in a 24-bit BMP.
count_colour() {  # FILE R G B
    python3 - "$@" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
offset, width, height = struct.unpack_from('<I', data, 10)[0], *struct.unpack_from('<ii', data, 18)
row = (width * 3 + 3) & ~3
want = bytes([int(sys.argv[4]), int(sys.argv[3]), int(sys.argv[2])])
rows = (data[offset + y * row:offset + y * row + width * 3] for y in range(height))
print(sum(line[x:x + 3] == want for line in rows for x in range(0, width * 3, 3)))
EOF
}

e2e_harness screensaver
e2e_assert_eq 1 "$E2E_OUT" "screen saver before the program"

e2e_start main
e2e_harness process platterscope.exe -- wait-box 60000 -- box -- answer OK -- wait-window "$E2E_MAIN_CAPTION" 30000 \
    -- no-box 300 -- wait-focus 104 5000 -- focus
e2e_assert_eq "$LIMIT_BOX
104" "$E2E_OUT" "opening on drive 0 with 1025 cylinders: the box, then the focus on the drive list"
e2e_harness window "$E2E_MAIN_CAPTION" -- items 104 -- selection 104 -- text 110 -- text 111 -- text 112 \
    -- enabled 101 -- enabled 102 -- enabled 103 -- enabled 104 -- enabled 107 -- enabled 106 -- text 109
e2e_assert_eq "HDD0
HDD1
HDD2
HDD3
HDD4
0
柱面     :\t1025
柱头 :    \t  16
扇区   :  \t  63
0
0
0
1
1
0" "$(head -n -1 <<<"$E2E_OUT")" "list, opening labels and controls"
[[ $(tail -1 <<<"$E2E_OUT") == "欢迎使用 Platterscope!"* ]] || e2e_fail "initial status line: $(tail -1 <<<"$E2E_OUT")"

e2e_harness screensaver
e2e_assert_eq 0 "$E2E_OUT" "screen saver while the window is open"

# Exactly at the limits: Start enabled, no box.
e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 1 -- no-box 500 -- text 110 -- text 111 -- text 112 -- text 109 \
    -- enabled 101
e2e_assert_eq "Cylinders:\t1024
Heads:    \t 255
Sectors:  \t  63
Physical drive 1 selected.
1" "$E2E_OUT" "drive 1 at 1024/255/63"

# One over on heads, then on sectors: Start is already disabled while the box is up.
for case in "2 Heads:    \\t 256" "3 Sectors:  \\t  64"; do
    drive=${case%% *} label=${case#* }
    e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 "$drive" -- wait-box 10000 -- box -- enabled 101 -- answer OK \
        -- text $((109 + drive)) -- text 109 -- enabled 101
    e2e_assert_eq "$LIMIT_BOX
0
$label
Physical drive $drive selected.
0" "$E2E_OUT" "drive $drive over the limits"
done

e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 1 -- no-box 500 -- enabled 101 \
    -- capture "$E2E_DIR/plain.bmp" -- select 104 4 -- no-box 500 -- text 110 -- enabled 101 \
    -- capture "$E2E_DIR/fat.bmp"
e2e_assert_eq $'1\nCylinders:\\t 100\n1' "$E2E_OUT" "back to drive 1, then drive 4"
# The FAT band (cylinders 1 to 49: about 25 columns over the band's 225
# rows) beside the swatch of the same colour, which both captures show.
plain=$(count_colour "$E2E_DIR/plain.bmp" 182 248 208)
fat=$(count_colour "$E2E_DIR/fat.bmp" 182 248 208)
[ $((fat - plain)) -gt 4000 ] || e2e_fail "no FAT band on drive 4's chart ($plain FAT-coloured pixels before, $fat after)"

e2e_harness window "$E2E_MAIN_CAPTION" -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_harness screensaver
e2e_assert_eq 1 "$E2E_OUT" "screen saver after the window closed"
e2e_pass
