#!/usr/bin/env bash
# Builds and runs every test configuration: native, native with AddressSanitizer and
# UndefinedBehaviorSanitizer, native with ThreadSanitizer, and the 32-bit and 64-bit
# Windows DLLs with their tests under Wine (scripts/wine: 32-bit programs natively where
# the kernel runs 32-bit code, emulated where it does not); then the fuzz targets (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer): every regression input replayed, each target run briefly.
#
# FPM_SKIP_WINDOWS_TESTS=1 builds the Windows configuration but runs none of its Windows
# programs, for a machine without Wine; the summary says so.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}
jobs=$(nproc)

skip_note="" wine_ready_pid=""
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
# Line tables are all the debug information the test configurations need (sanitizer
# reports name files and lines); full debug information made their builds a sixth slower.
debug=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1)
run_config native "${debug[@]}" -DFPM_BUILD_BENCH=ON
# The API reference: a missing description of an export fails it.
cmake --build "$out/native" --target docs
run_config asan-ubsan "${debug[@]}" -DFPM_SANITIZE=address,undefined -DFPM_BUILD_TOOLS=OFF
TSAN_OPTIONS="halt_on_error=1" run_config tsan "${debug[@]}" -DFPM_SANITIZE=thread -DFPM_BUILD_TOOLS=OFF
build_config win32 -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_BENCH=ON -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake"
# The x64 DLL's SDK test also lays out the x86 folder from the win32 build.
build_config win64 -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_TOOLS=OFF -DFPM_SDK_PARTNER_BUILD="$out/win32" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake"
for name in win32 win64; do
  if [ -n "$skip_note" ]; then
    FPM_SKIP_WINDOWS_TESTS=1 test_config "$name" -L host-only
  else
    if [ -n "$wine_ready_pid" ]; then
      wait "$wine_ready_pid" || { cat "$out/wine-session.log"; exit 1; }
      wine_ready_pid=
    fi
    # Every Windows program of a configuration runs in one Wine session.
    timed "$name tests" "$root/scripts/wine/session.sh" ctest --test-dir "$out/$name" --output-on-failure -j "$((jobs * 2))"
  fi
done
# Each target runs 15 s here; scripts/fuzz.sh runs them for longer.
CC=clang CXX=clang++ run_config fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFPM_FUZZ=ON -DFPM_FUZZ_SECONDS=15 \
  -DFPM_BUILD_TESTS=OFF -DFPM_BUILD_TOOLS=OFF -DFPM_INSTALL=OFF
printf '%s\n' "${timings[@]}" "total              $SECONDS s"
echo "all test configurations passed"
if [ -n "$skip_note" ]; then echo "$skip_note"; fi
