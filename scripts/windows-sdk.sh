#!/usr/bin/env bash
# Builds the Windows SDK: for 32-bit (x86/) and 64-bit (x64/) processes each, fpmodule.dll,
# fpmodule-virtual.dll and their import libraries for MinGW (.dll.a) and for MSVC-style
# linkers (.lib); one header, the CMake package that picks the folder by the consumer's
# pointer size, the HTML reference, the examples, the README, the changelog and the
# licence, packed as fpmodule-sdk-<version>-windows.zip in build/ (FPM_BUILD_ROOT moves it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}

"$root/scripts/install-deps.sh"

for arch in i686:win32 x86_64:win64; do
  build=$out/sdk-${arch#*:}
  cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-${arch%:*}.cmake" > /dev/null
  cmake --build "$build" -j "$(nproc)"
done
cmake --build "$out/sdk-win64" --target docs
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/sdk-win64/CMakeCache.txt")
cmake -DX86="$out/sdk-win32" -DX64="$out/sdk-win64" -DOUT="$out" -DVERSION="$version" -DZIP=ON \
  -P "$root/cmake/WindowsSdk.cmake" > /dev/null
echo "SDK: $out/fpmodule-sdk-$version-windows.zip"
