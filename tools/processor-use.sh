# What else used the processors while a run ran (sourced by the demo and
# the benchmark). /proc/stat and /proc/PID/stat count the same clock ticks.

# The share of the processors that the host took (steal time) since
# steal_mark: on a shared virtual machine it is what moves the figures most.
steal_mark() { read -r STEAL0 TOTAL0 < <(awk '/^cpu /{ print $9, $2+$3+$4+$5+$6+$7+$8+$9 }' /proc/stat); }
steal_since() {
    awk -v s="$STEAL0" -v t="$TOTAL0" '/^cpu /{ total = $2+$3+$4+$5+$6+$7+$8+$9; printf "%.1f\n", (total > t ? ($9 - s) * 100 / (total - t) : 0) }' /proc/stat
}

# Every process's processor time so far, "PID TICKS" a line. A process's
# name, in parentheses, may hold spaces: its fields are counted after it. A
# process that ends between the listing and the read is not an error (under
# pipefail it would end the caller).
process_ticks() {
    { cat /proc/[0-9]*/stat 2>/dev/null || true; } | sed 's/ (.*) / /' | awk '{ print $1, $13 + $14 }'
}

# use_mark notes the steal mark, the processors' busy time and every
# process's time so far. use_since PID... prints the shares of the
# processors (in percent of all of them) since use_mark that the host took
# and that everything but the processes PID used: "STEAL OTHERS". A process
# that came and went in between counts with the others.
use_mark() {
    steal_mark
    BUSY0=$(awk '/^cpu /{ print $2+$3+$4+$7+$8 }' /proc/stat)
    TICKS0=$(process_ticks)
}
use_since() {  # PID...
    local own
    own=$({ printf '%s\n--\n' "$TICKS0"; process_ticks; } | awk -v own=" $* " '
        $1 == "--" { now = 1; next }
        !now { before[$1] = $2; next }
        index(own, " " $1 " ") { sum += $2 - before[$1] }
        END { print sum + 0 }')
    awk -v s="$STEAL0" -v t="$TOTAL0" -v b="$BUSY0" -v own="$own" '/^cpu /{
        total = $2+$3+$4+$5+$6+$7+$8+$9 - t; if (total < 1) total = 1
        others = $2+$3+$4+$7+$8 - b - own; if (others < 0) others = 0
        printf "%.1f %.1f\n", ($9 - s) * 100 / total, others * 100 / total }' /proc/stat
}
