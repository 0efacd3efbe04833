#!/bin/bash
# partition_demo.sh BUILD_DIR
# The partition walk over the demo disks: mkdisk writes them with their
# Rawio32.cfg into a scratch folder beside a copy of Rawio32.dll, and the
# PartitionDemo cases of win32_layer_tests read them through the stand-in.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)

demo=$(mktemp -d "$build/partition-demo.XXXXXX")
trap 'rm -rf "$demo"' EXIT
"$build/mkdisk" demo "$demo" >/dev/null
cp "$build/Rawio32.dll" "$demo/"

status=0
PARTITION_DEMO_DIR="$demo" bash "$root/tools/wine/run-in-prefix.sh" "$build" nt "$build/win32_layer_tests.exe" \
  --gtest_filter='PartitionDemo.*' >"$demo/out.log" 2>&1 || status=$?
cat "$demo/out.log"
if [ $status -ne 0 ]; then
  exit $status
fi
# Skipped cases would pass without having read anything.
if grep -q "SKIPPED" "$demo/out.log" || ! grep -q "PASSED  \] 2 tests" "$demo/out.log"; then
  echo "partition_demo: the demo cases did not all run" >&2
  exit 1
fi
