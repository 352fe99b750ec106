#!/usr/bin/env bash
# Builds what a newcomer runs and ships (the Linux library, the 32-bit Windows DLL, their
# virtual twins, the fpmodule tool), without the test suites, and runs the tool's demo on
# the virtual module (other arguments run that command instead). scripts/test-all.sh
# builds and runs everything else, in folders of its own: the test configurations keep
# their cached options.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FPM_BUILD_ROOT:-$root/build}

"$root/scripts/install-deps.sh"

cmake -G Ninja -S "$root" -B "$out/release" -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_TESTS=OFF > /dev/null
cmake --build "$out/release" -j "$(nproc)" --target fpmodule fpmodule_virtual_shared fpmodule_cli
cmake -G Ninja -S "$root" -B "$out/win32-release" -DCMAKE_BUILD_TYPE=Release -DFPM_BUILD_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" > /dev/null
cmake --build "$out/win32-release" -j "$(nproc)" --target fpmodule fpmodule_virtual_shared

echo "built: $out/release/bin/libfpmodule.so and $out/win32-release/bin/fpmodule.dll"
echo "virtual: $out/release/bin/libfpmodule-virtual.so and $out/win32-release/bin/fpmodule-virtual.dll"
if [ $# -eq 0 ]; then set -- demo; fi
"$out/release/bin/fpmodule" "$@"
