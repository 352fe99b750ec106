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
  ctest --test-dir "$out/$name" --output-on-failure -j "$((jobs * 2))" ${ctest_args[@]+"${ctest_args[@]}"}
}
ctest_args=()

start_wine() {
  if ! wait "$wineboot_pid"; then
    # Wine needs the kernel to run 32-bit programs; some virtual machines cannot. There the
    # Windows build is still made and checked, but only its tests that run no Windows program.
    if ! wine cmd /c exit 0 > /dev/null 2>&1; then
      echo "NOTE: Wine cannot run 32-bit programs on this machine; the win32 tests that run"
      echo "      Windows programs are skipped (the build and its static checks still run)."
      export FPM_WINE_UNAVAILABLE=1
      ctest_args=(-L host-only)
      return 0
    fi
    cat "$out/wineboot.log"
    return 1
  fi
  wineserver --wait
  wineserver --persistent
  trap 'wineserver --kill 2> /dev/null || true' EXIT
}

mkdir -p "$out"
# The prefix is made (or brought up to date) while the native configurations build.
wineboot --init > "$out/wineboot.log" 2>&1 &
wineboot_pid=$!
run_config native -DCMAKE_BUILD_TYPE=Debug -DFPM_BUILD_BENCH=ON
# The API reference: a missing description of an export fails it.
cmake --build "$out/native" --target docs
run_config asan-ubsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=address,undefined -DFPM_BUILD_TOOLS=OFF
TSAN_OPTIONS="halt_on_error=1" run_config tsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=thread -DFPM_BUILD_TOOLS=OFF
start_wine
run_config win32 -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
ctest_args=()
CC=clang CXX=clang++ run_config fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFPM_FUZZ=ON -DFPM_BUILD_TESTS=OFF -DFPM_BUILD_TOOLS=OFF -DFPM_INSTALL=OFF
echo "all test configurations passed"
