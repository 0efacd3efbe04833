#!/bin/bash
# host-32bit.sh: whether this host executes 32-bit x86 programs, found by
# running one. Some kernels are built without 32-bit execution, and some
# machines (ARM under an x86-64 emulator) have none: there Wine's 32-bit
# loader, and with it every 32-bit Windows program and the whole 9x family,
# cannot run, while the 64-bit loader runs the 64-bit program.
#
# Run: prints one line, "runs 32-bit programs" (exit 0) or "cannot run
# 32-bit programs: REASON" (exit 1).
# Sourced: host_runs_32bit returns 0 or 1 and leaves the reason in
# HOST_32BIT_WHY ("" where it runs them). The answer is kept for the shell
# in HOST_32BIT_ANSWER but not exported: a child may run where 32-bit
# programs are refused. A test may set it (yes or no) to stand in for the
# probe.
#
# The program run is the smallest i386 ELF executable, written here: it
# only exits with code 0 (mov eax,1; xor ebx,ebx; int 0x80). Asking which
# packages are installed would not tell: a kernel may refuse what is there.

host_runs_32bit() {
    if [ -n "${HOST_32BIT_ANSWER:-}" ]; then
        [ "$HOST_32BIT_ANSWER" = yes ]
        return
    fi
    local dir program output
    dir=$(mktemp -d "${TMPDIR:-/tmp}/host-32bit.XXXXXX") || {
        HOST_32BIT_WHY="no folder for the probe"; HOST_32BIT_ANSWER=no; return 1
    }
    program=$dir/exit0
    # ELF header (52 bytes), one loadable segment (32 bytes), 9 bytes of code
    # at 0x08048054.
    printf '%b' \
        '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
        '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
        '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' \
        '\x00\x00\x00\x00' \
        '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
        '\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
        '\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$program" && chmod +x "$program"
    # A subshell, so that the shell's own "cannot execute" message is caught.
    if output=$( ("$program") 2>&1 ); then
        HOST_32BIT_WHY=
        HOST_32BIT_ANSWER=yes
    else
        local code=$?
        output=$(printf '%s' "$output" | tail -n 1 | sed 's/^.*exit0: //; s/^cannot execute binary file: //')
        HOST_32BIT_WHY="a 32-bit x86 program fails: ${output:-exit code $code}"
        HOST_32BIT_ANSWER=no
    fi
    rm -rf "$dir"
    [ "$HOST_32BIT_ANSWER" = yes ]
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    if host_runs_32bit; then
        echo "runs 32-bit programs"
    else
        echo "cannot run 32-bit programs: $HOST_32BIT_WHY"
        exit 1
    fi
fi
