#!/bin/bash
# without-32bit.sh COMMAND [ARGS...]
# Runs COMMAND as on a host that cannot execute 32-bit x86 programs, so that
# the path such hosts take stays tested on any machine: in a user namespace
# with a binfmt_misc of its own (Linux 6.7 and later), where every i386 ELF
# program is handed to an interpreter that refuses it with "Exec format
# error", as such a kernel does. Only COMMAND and its processes are
# affected. The namespace maps every user and group to itself, so that
# package installs and file owners work as outside (run it as root). Says
# in one line what it does; exits with COMMAND's exit code, or 2 when the
# namespace cannot be made here.
set -uo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 COMMAND [ARGS...]" >&2
    exit 2
fi
if [ "${WITHOUT_32BIT_INSIDE:-}" = 1 ]; then
    # In the namespace: its own binfmt_misc, the i386 ELF executables (type 2)
    # and shared objects or PIE programs (type 3, the mask folds them) sent to
    # the refusal. F opens the interpreter now, so it works in a chroot too.
    refusal=$WITHOUT_32BIT_REFUSAL
    unset WITHOUT_32BIT_INSIDE WITHOUT_32BIT_REFUSAL
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
        { echo "without-32bit: cannot mount a binfmt_misc of this namespace (Linux 6.7 or later needed)" >&2; exit 2; }
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":i386:M::$magic:$mask:$refusal:F" >/proc/sys/fs/binfmt_misc/register ||
        { echo "without-32bit: cannot register the refusal of 32-bit programs" >&2; exit 2; }
    # Before COMMAND: a 32-bit program fails here and a 64-bit one runs.
    source "$(dirname "$(readlink -f "$0")")/host-32bit.sh"
    ! host_runs_32bit || { echo "without-32bit: a 32-bit program still runs in the namespace" >&2; exit 2; }
    /bin/true || { echo "without-32bit: a 64-bit program does not run in the namespace" >&2; exit 2; }
    exec "$@"
fi

[ "$(id -u)" = 0 ] || { echo "without-32bit: run it as root" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/without-32bit.XXXXXX") || exit 2
trap 'rm -rf "$work"' EXIT
# The refusal is a program of its own (a script would need its path to
# stay valid, in a chroot too): the smallest x86-64 ELF executable, which
# writes its line to standard error and exits with code 126.
python3 - "$work/refuse" <<'PY' || exit 2
import struct, sys
message = b"Exec format error\n"
code = (b"\xb8\x01\x00\x00\x00"                      # mov eax, 1 (write)
        b"\xbf\x02\x00\x00\x00"                      # mov edi, 2
        b"\x48\x8d\x35\x13\x00\x00\x00"              # lea rsi, [rip + 19]: the message
        + b"\xba" + struct.pack("<I", len(message)) +  # mov edx, length
        b"\x0f\x05"                                  # syscall
        b"\xb8\x3c\x00\x00\x00"                      # mov eax, 60 (exit)
        b"\xbf\x7e\x00\x00\x00"                      # mov edi, 126
        b"\x0f\x05")                                 # syscall
base, start = 0x400000, 64 + 56
size = start + len(code) + len(message)
header = struct.pack("<4s5B7x2HI3QI6H", b"\x7fELF", 2, 1, 1, 0, 0, 2, 0x3E, 1, base + start, 64, 0, 0,
                     64, 56, 1, 0, 0, 0)
segment = struct.pack("<2I6Q", 1, 5, 0, base, base, size, size, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(header + segment + code + message)
PY
chmod 755 "$work/refuse"
mkfifo "$work/go"

# The child waits on the fifo until its identity maps are written.
WITHOUT_32BIT_INSIDE=1 WITHOUT_32BIT_REFUSAL=$work/refuse \
    unshare --user --mount --propagation private \
    bash -c 'read -r _ <"$0" && exec bash "$1" "${@:2}"' "$work/go" "$(readlink -f "$0")" "$@" &
child=$!
own=$(readlink /proc/self/ns/user)
for _ in $(seq 200); do
    ns=$(readlink "/proc/$child/ns/user" 2>/dev/null) || break
    [ "$ns" != "$own" ] && break
    sleep 0.01
done
if ! { echo '0 0 4294967295' >"/proc/$child/uid_map" && echo '0 0 4294967295' >"/proc/$child/gid_map"; } 2>/dev/null; then
    kill "$child" 2>/dev/null
    echo "without-32bit: this kernel gives no user namespace here" >&2
    exit 2
fi
echo "without-32bit: '$*' runs as on a host without 32-bit code: every i386 program fails with 'Exec format error'" >&2
echo go >"$work/go"
wait "$child"
