#!/usr/bin/env bash
# Builds the Windows SDK: fpmodule.dll, its import libraries for MinGW (fpmodule.dll.a)
# and for MSVC-style linkers (fpmodule.lib), the header, the CMake package, the HTML
# reference, the examples, the README, the changelog and the licence, packed as
# fpmodule-sdk-<version>-win32.zip in build/ (FPM_BUILD_ROOT moves it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}
build=$out/sdk-win32

"$root/scripts/install-deps.sh"

cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" > /dev/null
cmake --build "$build" -j "$(nproc)"
cmake --build "$build" --target docs
(cd "$build" && cpack -G ZIP -B "$out" > /dev/null)
echo "SDK: $(ls "$out"/fpmodule-sdk-*-win32.zip)"
