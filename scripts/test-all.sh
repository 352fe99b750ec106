#!/usr/bin/env bash
# Builds and runs every test configuration: native, native with AddressSanitizer and
# UndefinedBehaviorSanitizer, native with ThreadSanitizer, and the 32-bit Windows DLL
# with its tests under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}
jobs=$(nproc)

"$root/scripts/install-deps.sh"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One Wine prefix for every Windows test program (kept under the build folder unless the
# caller chose one), made before the first of them, and one wine server kept running for
# all of them instead of one started and stopped per program.
export WINEPREFIX=${WINEPREFIX:-$out/wineprefix}

run_config() {
  local name=$1; shift
  echo "=== $name ==="
  cmake -G Ninja -S "$root" -B "$out/$name" "$@" > "$out/$name.configure.log" || { cat "$out/$name.configure.log"; return 1; }
  cmake --build "$out/$name" -j "$jobs"
  # More tests than cores: the programs that wait on the real clock mostly sleep.
  ctest --test-dir "$out/$name" --output-on-failure -j "$((jobs * 2))"
}

start_wine() {
  wait "$wineboot_pid" || { cat "$out/wineboot.log"; return 1; }
  wineserver --wait
  wineserver --persistent
  trap 'wineserver --kill 2> /dev/null || true' EXIT
}

mkdir -p "$out"
# The prefix is made (or brought up to date) while the native configurations build.
wineboot --init > "$out/wineboot.log" 2>&1 &
wineboot_pid=$!
run_config native -DCMAKE_BUILD_TYPE=Debug -DFPM_BUILD_BENCH=ON
run_config asan-ubsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=address,undefined -DFPM_BUILD_TOOLS=OFF
TSAN_OPTIONS="halt_on_error=1" run_config tsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=thread -DFPM_BUILD_TOOLS=OFF
start_wine
run_config win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
echo "all test configurations passed"
