#!/bin/bash
# The user's journey, in either family (9x through the stand-in, NT through
# the simulated-disk driver): the program starts with two drives; the user picks the second (paced from 8000 down to 4000 kB/s,
# two partitions, a read error injected at cylinder 30 head 3), presses Start,
# answers Yes at the error prompt, lets the run end and saves the profile to
# a new file. The file must hold exactly the run's cylinders, byte for byte
# "%u %u\r\n", with the speeds that the status lines showed, the summary's
# min/avr/max must be the file's, and the red curve on a capture of the chart
# must sit where those speeds put it. A second run, stopped early, is saved
# over the same file and leaves only its own lines.
# Families: 9x nt
# Runs on the 64-bit program too.
source "$(dirname "$0")/../../tools/wine/e2e.sh"
e2e_setup "$1" "$2"
CYLINDERS=40
e2e_drive small.img 10 2 16 512
e2e_drive disk1.img $CYLINDERS 16 63 512 speed=8000,4000
e2e_drive_fault 30 3
e2e_mkdisk table "$E2E_APP/disk1.img" $CYLINDERS 16 63 512 0 0 1 6:0/1/1-19/15/63 83:20/0/1-39/15/63
e2e_serve_drives
OUT=$E2E_DIR/out
mkdir -p "$OUT"
RESULTS=$OUT/profile.dat
# One cylinder is 16 x 63 x 512 bytes = 504 KiB.
KIB_PER_CYLINDER=504

# The status lines are watched from Start to the summary; the chart is
# captured a second after the run, once its last repaint has reached the screen.
e2e_start main
e2e_open_main_window
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- select 104 1 \
    -- press 101 -- watch-text 109 101 30000 -- wait-box 0 -- box -- answer Yes \
    -- watch-text 109 101 30000 -- sleep 1000 -- capture "$OUT/chart.bmp"
run1=$E2E_OUT
prompt=$(e2e_read_prompt "$E2E_FAMILY" "$E2E_FAULT_CODE" 30 3)
[[ $run1 == *"$prompt"* ]] || e2e_fail "the prompt for cylinder 30 head 3 is missing: $run1"

# Save to a new file (Wine asks no question for a new name).
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 103 -- wait-file-dialog \
    -- file-name "$RESULTS" -- press 1 -- window "$E2E_MAIN_CAPTION" -- no-box 300
e2e_wait_saved "$RESULTS" "$run1"
cp "$RESULTS" "$OUT/run1.dat"

# Checks a saved file against a run's status lines and summary (and the
# curve in a capture of the main window's client area): results_check.py.
check_run() {  # NAME FILE STATUS_OUTPUT [BMP]
    local name=$1 file=$2 result
    printf '%s\n' "$3" >"$OUT/$name.status"
    shift 3
    result=$(python3 "$(dirname "$0")/results_check.py" "$file" "$OUT/$name.status" $KIB_PER_CYLINDER "$@") ||
        e2e_fail "$name: $result"
    e2e_log "$name: $result"
    SEEN=$(sed -n 's/.*; \([0-9]*\) cylinder status lines seen.*/\1/p' <<<"$result")
}

check_run "run 1" "$OUT/run1.dat" "$run1" "$OUT/chart.bmp"
lines=$(wc -l <"$OUT/run1.dat")
[ "$lines" -eq $CYLINDERS ] || e2e_fail "run 1 measured $lines of $CYLINDERS cylinders"
[ "$SEEN" -ge $((CYLINDERS / 2)) ] || e2e_fail "only $SEEN of $CYLINDERS status lines seen"

# Run 2, stopped after about half a second (cylinders take 63 ms and more),
# long before the error at cylinder 30; saved over the same file.
e2e_harness process platterscope.exe -- window "$E2E_MAIN_CAPTION" -- press 101 -- sleep 500 -- press 102 \
    -- watch-text 109 101 30000 -- press 103 -- wait-file-dialog -- file-name "$RESULTS" -- press 1 \
    -- wait-box -- box -- answer Yes -- window "$E2E_MAIN_CAPTION" -- no-box 300
run2=$E2E_OUT
[[ $run2 == *$'\nbuttons: Yes No\n'* ]] || e2e_fail "no overwrite question for the existing file: $run2"
e2e_wait_saved "$RESULTS" "$run2"
check_run "run 2" "$RESULTS" "$run2"
lines=$(wc -l <"$RESULTS")
[ "$lines" -ge 1 ] && [ "$lines" -lt 30 ] || e2e_fail "run 2 stopped after $lines cylinders"

e2e_harness window "$E2E_MAIN_CAPTION" -- cancel -- wait-gone "$E2E_MAIN_CAPTION" 10000
e2e_expect_exit main 0
e2e_pass
