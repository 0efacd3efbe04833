#!/usr/bin/env bash
# Sets everything up, builds the three configurations and runs every test.
# Ends with one line that counts the suites run, passed, failed and skipped,
# and says why the skipped ones were skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
source tools/host-32bit.sh
if ! host_runs_32bit; then
  echo "test: this host cannot run 32-bit programs ($HOST_32BIT_WHY): the 32-bit suites are skipped," \
       "the 64-bit program's are run"
fi

jobs=$(nproc)
for preset in native win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done

status=0
rm -f build/native/junit.xml build/win32/junit.xml
ctest --preset native -j"$jobs" --output-junit junit.xml || status=1
# The 64-bit programs are tested from the 32-bit build (its *_win64 tests).
ctest --preset win32 -j"$jobs" --output-junit junit.xml || status=1
python3 tools/test-summary.py build/native/junit.xml build/win32/junit.xml || status=1
exit $status
