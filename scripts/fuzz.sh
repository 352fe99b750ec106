#!/usr/bin/env bash
# Runs every fuzz target for MINUTES minutes (default 10) on one core each, one after
# the other, starting from the seed corpora; new inputs and any crash land in
# build/fuzz/fuzz-work. Add each crash, once fixed, to fuzz/regressions/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
out=${FPM_BUILD_ROOT:-$root/build}/fuzz

CC=clang CXX=clang++ cmake -G Ninja -S "$root" -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFPM_FUZZ=ON \
  -DFPM_BUILD_TESTS=OFF -DFPM_BUILD_TOOLS=OFF > /dev/null
cmake --build "$out" -j "$(nproc)"

for target in hostile_module convert defect_map; do
  echo "=== $target: $minutes min ==="
  mkdir -p "$out/fuzz-work/$target" "$out/fuzz-work/artifacts"
  "$out/bin/fuzz_$target" -max_total_time=$((minutes * 60)) -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$out/fuzz-work/artifacts/$target-" \
    "$out/fuzz-work/$target" "$root/fuzz/corpus/$target" "$root/fuzz/regressions/$target"
done
