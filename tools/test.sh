#!/usr/bin/env bash
# Sets everything up, builds the three configurations and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh

jobs=$(nproc)
for preset in native win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

ctest --preset native -j"$jobs"
# The 64-bit programs are tested from the 32-bit build (its *_win64 tests).
ctest --preset win32 -j"$jobs"
