#!/bin/sh
# loader.sh ARGS...: Wine's loader ($WINE_LOADER, which common.sh sets) with
# ARGS, its address space laid out without randomization. On a kernel that
# randomizes widely (seen on Linux 6.18), Wine 8's 64-bit loader now and then
# finds the fixed address of the shared user data taken and ends at once
# with exit code 1, printing nothing under WINEDEBUG=-all ("failed to map the
# shared user data": 4 starts in 6400 here, the program's or a tool's
# alike); with a fixed layout none of 6400 did.
exec setarch "$(uname -m)" -R "${WINE_LOADER:?loader.sh: WINE_LOADER names no Wine loader}" "$@"
