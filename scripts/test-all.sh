#!/usr/bin/env bash
# Builds and runs every test configuration: native, native with AddressSanitizer and
# UndefinedBehaviorSanitizer, native with ThreadSanitizer, and the 32-bit Windows DLL
# with its tests under Wine; then the fuzz targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer): every regression input replayed, each target run briefly.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}
jobs=$(nproc)

"$root/scripts/install-deps.sh"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

run_config() {
  local name=$1; shift
  echo "=== $name ==="
  cmake -G Ninja -S "$root" -B "$out/$name" "$@" > "$out/$name.configure.log" || { cat "$out/$name.configure.log"; return 1; }
  cmake --build "$out/$name" -j "$jobs"
  ctest --test-dir "$out/$name" --output-on-failure -j "$jobs"
}

mkdir -p "$out"
run_config native -DCMAKE_BUILD_TYPE=Debug -DFPM_BUILD_BENCH=ON
run_config asan-ubsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=address,undefined -DFPM_BUILD_TOOLS=OFF
TSAN_OPTIONS="halt_on_error=1" run_config tsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=thread -DFPM_BUILD_TOOLS=OFF
run_config win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
CC=clang CXX=clang++ run_config fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFPM_FUZZ=ON -DFPM_BUILD_TESTS=OFF -DFPM_BUILD_TOOLS=OFF
echo "all test configurations passed"
