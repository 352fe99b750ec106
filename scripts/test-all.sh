#!/usr/bin/env bash
# Builds and runs every test configuration: native, native with AddressSanitizer and
# UndefinedBehaviorSanitizer, native with ThreadSanitizer, and the 32-bit Windows DLL
# with its tests under Wine (scripts/wine: natively where the kernel runs 32-bit code,
# emulated where it does not); then the fuzz targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer): every regression input replayed, each target run briefly.
#
# FPM_SKIP_WINDOWS_TESTS=1 builds the Windows configuration but runs none of its Windows
# programs, for a machine without Wine; the summary says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}
jobs=$(nproc)

skip_note=""
if [ -n "${FPM_SKIP_WINDOWS_TESTS:-}" ]; then
  skip_note="WARNING: FPM_SKIP_WINDOWS_TESTS is set: the Windows DLL was built, but none of its tests that run a Windows program ran."
  echo "$skip_note"
fi

"$root/scripts/install-deps.sh"

# One Wine prefix for every Windows test program (kept under the build folder unless the
# caller chose one).
export WINEPREFIX=${WINEPREFIX:-$out/wineprefix}

# Each step's time goes to the summary.
timings=()
timed() {
  local what=$1 start=$SECONDS; shift
  "$@"
  timings+=("$(printf '%-18s %4d s' "$what" $((SECONDS - start)))")
}
build_config() {
  local name=$1; shift
  echo "=== $name ==="
  cmake -G Ninja -S "$root" -B "$out/$name" "$@" > "$out/$name.configure.log" || { cat "$out/$name.configure.log"; return 1; }
  timed "$name build" cmake --build "$out/$name" -j "$jobs"
}
# More tests than cores: the programs that wait on the real clock mostly sleep.
ctest_in() {
  ctest --test-dir "$out/$1" --output-on-failure -j "$((jobs * 2))" "${@:2}"
}
test_config() {
  timed "$1 tests" ctest_in "$@"
}
run_config() {
  build_config "$@"
  test_config "$1"
}

mkdir -p "$out"
if [ -z "$skip_note" ]; then
  # The prefix is made (or found up to date), and 32-bit Windows programs shown to run,
  # while the native configurations build.
  "$root/scripts/wine/session.sh" true > "$out/wine-session.log" 2>&1 &
  wine_ready_pid=$!
fi
run_config native -DCMAKE_BUILD_TYPE=Debug -DFPM_BUILD_BENCH=ON
# The API reference: a missing description of an export fails it.
cmake --build "$out/native" --target docs
run_config asan-ubsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=address,undefined -DFPM_BUILD_TOOLS=OFF
TSAN_OPTIONS="halt_on_error=1" run_config tsan -DCMAKE_BUILD_TYPE=Debug -DFPM_SANITIZE=thread -DFPM_BUILD_TOOLS=OFF
build_config win32 -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_BENCH=ON -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
if [ -n "$skip_note" ]; then
  FPM_SKIP_WINDOWS_TESTS=1 test_config win32 -L host-only
else
  wait "$wine_ready_pid" || { cat "$out/wine-session.log"; exit 1; }
  # Every Windows program of the configuration runs in one Wine session.
  timed "win32 tests" "$root/scripts/wine/session.sh" ctest --test-dir "$out/win32" --output-on-failure -j "$((jobs * 2))"
fi
CC=clang CXX=clang++ run_config fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFPM_FUZZ=ON -DFPM_BUILD_TESTS=OFF -DFPM_BUILD_TOOLS=OFF -DFPM_INSTALL=OFF
printf '%s\n' "${timings[@]}" "total              $SECONDS s"
echo "all test configurations passed"
if [ -n "$skip_note" ]; then echo "$skip_note"; fi
