#!/usr/bin/env bash
# Builds the partition-walk fuzzer with clang and runs it for N inputs.
#   tools/fuzz/run-fuzz.sh N [build-dir]
# Exits 77 (skipped) without clang++, non-zero when an input breaks an invariant or crashes; the input is
# then left in the build dir as crash-* for replaying (fuzzer binary + file).
set -euo pipefail
runs=${1:?usage: run-fuzz.sh N [build-dir]}
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${2:-$root/build/partition-fuzz}
if ! command -v clang++ >/dev/null; then
    echo "SKIPPED: clang++ is missing (apt-get install clang libclang-rt-dev)" >&2
    exit 77  # reported as skipped, never as passed
fi
mkdir -p "$out"
cd "$out"

clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Wall -Wextra -Werror -I"$root/src" \
  "$root/src/app/app_state.cpp" "$root/src/app/text_format.cpp" "$root/src/partition/partition_walk.cpp" \
  "$root/tools/fuzz/partition_walk_fuzz.cpp" -o partition_walk_fuzz

# A fresh corpus from the same starting disks and a fixed seed each time:
# the same N gives the same run.
rm -rf corpus
python3 "$root/tools/fuzz/make-seeds.py" corpus
start=$(date +%s)
./partition_walk_fuzz corpus -runs="$runs" -seed=1 -max_len=16384 -dict="$root/tools/fuzz/partition.dict" \
  -print_final_stats=1 -artifact_prefix="$out/" 2>fuzz.log || { tail -40 fuzz.log; exit 1; }
end=$(date +%s)
grep -E "stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb" fuzz.log || true
echo "partition walk fuzz: $runs inputs, $((end - start)) s, no invariant broken"
