#!/bin/bash
# In either family (9x through the stand-in, NT through the simulated-disk
# driver): the controls' enabled states and the focus
# when idle, while running and after runs that end in each way: by the worker
# at the last cylinder, by Stop (pressed outright, and given while an error
# prompt holds the worker), and by Cancel at a prompt, before any cylinder
# (Save disabled) and after some. The no-buffering box is disabled while a
# run goes on, and on the 9x family throughout. A drive change after a run
# wipes the curve and leaves Save enabled.
# Families: 9x nt
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" "$2"
# Drive 0: 17 KiB a cylinder at 200 kB/s, about 3.4 s a run. Drive 1 fails
# at cylinder 1, drive 2 at cylinder 0 and again at cylinder 3 (never on
# head 0 of cylinder 0, where the partition table is read).
e2e_drive paced.img 40 2 17 512 speed=200,200
e2e_drive stop.img 10 2 17 512
e2e_drive_fault 1 0
e2e_drive cancel.img 10 2 17 512
e2e_drive_fault 0 1
e2e_drive_fault 3 1
e2e_serve_drives

# Enabled states of Start, Stop, Save, the drive list, the priority box and
# the no-buffering box, on one line.
STATES=(-- enabled 101 -- enabled 102 -- enabled 103 -- enabled 104 -- enabled 107 -- enabled 106)
buffering=0
[ "$E2E_FAMILY" = nt ] && buffering=1
IDLE_NO_RUN="1 0 0 1 1 $buffering"
RUNNING="0 1 0 0 0 0"
IDLE_SAVE="1 0 1 1 1 $buffering"

# Checks the harness output from line FIRST on: the focus, then STATES.
expect_focus_and_states() {  # FIRST FOCUS STATES WHAT
    local got
    got=$(tail -n +"$1" <<<"$E2E_OUT" | head -7 | tr '\n' ' ')
    e2e_assert_eq "$2 $3 " "$got" "focus and controls $4"
}

prompt() { e2e_read_prompt "$E2E_FAMILY" "$E2E_FAULT_CODE" "$@"; }  # CYLINDER HEAD

summary_of() {  # CYLINDERS LINE
    [[ $2 =~ $(e2e_summary_pattern "$E2E_FAMILY" "$1") ]]
}

red_pixels() {  # BMP
    python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read()
offset, width, height = struct.unpack_from('<I', data, 10)[0], *struct.unpack_from('<ii', data, 18)
row = (width * 3 + 3) & ~3
rows = (data[offset + y * row:offset + y * row + width * 3] for y in range(height))
print(sum(line[x:x + 3] == b'\x00\x00\xff' for line in rows for x in range(0, width * 3, 3)))
EOF
}

e2e_start main
e2e_open_main_window
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- focus "${STATES[@]}"
expect_focus_and_states 1 101 "$IDLE_NO_RUN" "after opening"

# Run 1 on drive 0 goes to its last cylinder.
e2e_harness window "$E2E_MAIN_CAPTION" -- press 101 -- focus "${STATES[@]}" -- wait-enabled 101 1 30000 \
    -- wait-focus 101 5000 -- focus "${STATES[@]}" -- text 109 -- capture "$E2E_DIR/run1.bmp"
expect_focus_and_states 1 102 "$RUNNING" "while run 1 goes on"
expect_focus_and_states 8 101 "$IDLE_SAVE" "after run 1 ended at the last cylinder"
summary_of 40 "$(sed -n 15p <<<"$E2E_OUT")" || e2e_fail "run 1: summary of 40 cylinders expected: $E2E_OUT"
# Forty cylinders, two to a column: at least one red pixel in each of the
# first 19 columns.
curve=$(red_pixels "$E2E_DIR/run1.bmp")
[ "$curve" -ge 19 ] || e2e_fail "run 1 left $curve red pixels on the chart"

# Choosing drive 1 wipes the curve; Save keeps the last run's data.
e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 1 -- text 109 -- enabled 103 -- capture "$E2E_DIR/drive1.bmp"
e2e_assert_eq $'Physical drive 1 selected.\n1' "$E2E_OUT" "status and Save after choosing drive 1"
e2e_assert_eq 0 "$(red_pixels "$E2E_DIR/drive1.bmp")" "red pixels after choosing drive 1"

# Run 2 on drive 1: Stop is given while the prompt of cylinder 1 holds the
# worker. Nothing changes until the worker moves on: it finishes cylinder 1
# and ends there. (The status read after the command also waits until the
# window has handled it.)
e2e_harness window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- box -- command 102 -- text 109 \
    -- enabled 101 -- enabled 102 -- answer Yes -- wait-enabled 101 1 30000 -- wait-focus 101 5000 -- focus "${STATES[@]}" -- text 109
e2e_assert_eq "$(prompt 1 0)" "$(head -5 <<<"$E2E_OUT")" "prompt of run 2"
[ "$(e2e_cylinder_of "$(sed -n 6p <<<"$E2E_OUT")")" = 0 ] || e2e_fail "run 2: status at the prompt: $(sed -n 6p <<<"$E2E_OUT")"
e2e_assert_eq $'0\n1' "$(sed -n 7,8p <<<"$E2E_OUT")" "Start and Stop after Stop, before the worker moved on"
expect_focus_and_states 9 101 "$IDLE_SAVE" "after run 2 was stopped"
summary_of 2 "$(sed -n 16p <<<"$E2E_OUT")" || e2e_fail "run 2: summary of 2 cylinders expected: $E2E_OUT"

# Run 3 on drive 2: Cancel at the prompt of cylinder 0 measures nothing, so
# Save, enabled before the run, stays disabled after it.
e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 2 -- press 101 -- wait-box 30000 -- box -- answer Cancel \
    -- wait-enabled 101 1 30000 -- wait-focus 101 5000 -- focus "${STATES[@]}" -- text 109
e2e_assert_eq "$(prompt 0 1)" "$(head -5 <<<"$E2E_OUT")" "prompt of run 3"
expect_focus_and_states 6 101 "$IDLE_NO_RUN" "after run 3 was cancelled at cylinder 0"
e2e_assert_eq "No sectors read!" "$(sed -n 13p <<<"$E2E_OUT")" "status after run 3"

# Run 4 on drive 2: Yes at cylinder 0, then Cancel at cylinder 3 keeps the
# three cylinders before it, and Save is enabled.
e2e_harness window "$E2E_MAIN_CAPTION" -- press 101 -- wait-box 30000 -- answer Yes -- wait-box 30000 -- box \
    -- answer Cancel -- wait-enabled 101 1 30000 -- wait-focus 101 5000 -- focus "${STATES[@]}" -- text 109
e2e_assert_eq "$(prompt 3 1)" "$(head -5 <<<"$E2E_OUT")" "second prompt of run 4"
expect_focus_and_states 6 101 "$IDLE_SAVE" "after run 4 was cancelled at cylinder 3"
summary_of 3 "$(sed -n 13p <<<"$E2E_OUT")" || e2e_fail "run 4: summary of 3 cylinders expected: $E2E_OUT"

# Run 5 on drive 0, with the priority box ticked, stopped by pressing Stop.
e2e_harness window "$E2E_MAIN_CAPTION" -- select 104 0 -- check 107 1 -- press 101 -- sleep 700 -- press 102 \
    -- wait-enabled 101 1 30000 -- wait-focus 101 5000 -- focus "${STATES[@]}" -- checked 107 -- text 109
expect_focus_and_states 1 101 "$IDLE_SAVE" "after run 5 was stopped"
e2e_assert_eq 1 "$(sed -n 8p <<<"$E2E_OUT")" "priority box still ticked after run 5"
line=$(sed -n 9p <<<"$E2E_OUT")
summary_of '[0-9]+' "$line" || e2e_fail "run 5: no summary: $line"
measured=${BASH_REMATCH[1]}
[ "$measured" -lt 40 ] || e2e_fail "run 5 was not stopped: $line"

e2e_harness window "$E2E_MAIN_CAPTION" -- close -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
