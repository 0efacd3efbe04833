#!/bin/bash
# if-built.sh FILE COMMAND [ARGS...]
# Runs COMMAND when FILE exists (a program of another build, such as the
# 64-bit one); otherwise says so and exits with 77, which ctest reports as
# skipped: a test that could not run is never counted as passed.
if [ $# -lt 2 ]; then
    echo "usage: $0 FILE COMMAND [ARGS...]" >&2
    exit 2
fi
if [ ! -f "$1" ]; then
    echo "SKIPPED: $1 is not built" >&2
    exit 77
fi
shift
exec "$@"
