#!/usr/bin/env bash
# Builds everything (the Linux library, the 32-bit Windows DLL, the fpmodule tool) and
# runs the tool's demo on the virtual module (other arguments run that command instead).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}

"$root/scripts/install-deps.sh"

cmake -G Ninja -S "$root" -B "$out/release" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$out/release" -j "$(nproc)"
cmake -G Ninja -S "$root" -B "$out/win32" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" > /dev/null
cmake --build "$out/win32" -j "$(nproc)" --target fpmodule

echo "built: $out/release/bin/libfpmodule.so and $out/win32/bin/fpmodule.dll"
if [ $# -eq 0 ]; then set -- demo; fi
"$out/release/bin/fpmodule" "$@"
