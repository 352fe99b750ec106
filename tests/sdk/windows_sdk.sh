#!/usr/bin/env bash
# Lays out the Windows SDK from the 32-bit and 64-bit builds given (either may be "-") and
# uses it as a developer would, for each folder: a C example built with MinGW against
# fpmodule.dll.a and one built with clang-cl and lld-link against fpmodule.lib, both run
# under Wine beside the folder's DLL (no module here: "no module found"), and the CMake
# package found by a consumer of that pointer size. Also checks the DLLs' version resource.
# Programs run through scripts/wine/run.sh.
# Usage: windows_sdk.sh <source dir> <work dir> <version> <x86 build|-> <x64 build|->
set -euo pipefail
source=$1 work=$2 version=$3 x86_build=$4 x64_build=$5
rm -rf "$work" && mkdir -p "$work" && work=$(cd "$work" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }

arches=()
[ "$x86_build" != - ] && arches+=(x86)
[ "$x64_build" != - ] && arches+=(x64)
cmake -DX86="${x86_build#-}" -DX64="${x64_build#-}" -DOUT="$work" -DVERSION="$version" -DZIP=ON \
  -P "$source/cmake/WindowsSdk.cmake" > "$work/layout.log"
sdk=$work/fpmodule-sdk-$version-windows
[ -f "$sdk.zip" ] || fail "no $sdk.zip"
for f in include/fpmodule.h README.md LICENSE CHANGELOG.md examples/find_and_connect.c examples/CMakeLists.txt \
         lib/cmake/fpmodule/fpmoduleConfig.cmake lib/cmake/fpmodule/fpmoduleConfigVersion.cmake; do
  [ -e "$sdk/$f" ] || fail "the SDK lacks $f"
done
[ "$(find "$sdk" -name fpmodule.h | wc -l)" = 1 ] || fail "the SDK holds more than one header"

run_beside_dll() {  # <arch> <folder> <program>: the program must load the folder's DLL and find no module
  local out
  # It imports the library's undecorated names from fpmodule.dll, whichever import library
  # it was linked with, and is of the folder's pointer size.
  out=$(x86_64-w64-mingw32-objdump -p "$2/$3")
  grep -q "DLL Name: fpmodule.dll" <<< "$out" || fail "$3 ($1) does not import fpmodule.dll"
  grep -qE "\s[0-9]+\s+CheckDeviceConnection$" <<< "$out" || fail "$3 ($1) does not import CheckDeviceConnection"
  grep -qF "(${format[$1]})" <<< "$out" || fail "$3 ($1) is not ${format[$1]}"
  cp "$sdk/$1/bin/fpmodule.dll" "$2/"
  if [ -n "${FPM_SKIP_WINDOWS_TESTS:-}" ]; then
    echo "built $3 ($1); not run: FPM_SKIP_WINDOWS_TESTS is set"
    return
  fi
  out=$(cd "$2" && "$source/scripts/wine/run.sh" "./$3" 2>&1 | tr -d '\r') || true
  grep -q "no module found" <<< "$out" || fail "$3 ($1) under Wine: unexpected output: $out"
}

declare -A triple=([x86]=i686 [x64]=x86_64) machine=([x86]=i386 [x64]=i386:x86-64) format=([x86]=PE32 [x64]=PE32+)
declare -A toolchain=([x86]=mingw-i686 [x64]=mingw-x86_64)
clang_cl=(clang --driver-mode=cl)
command -v clang-cl > /dev/null && clang_cl=(clang-cl)
consumer=$work/consumer
mkdir -p "$consumer"
cat > "$consumer/CMakeLists.txt" << 'EOF'
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(fpmodule 1 CONFIG REQUIRED)
get_target_property(dll fpmodule::fpmodule IMPORTED_LOCATION_RELEASE)
get_target_property(includes fpmodule::fpmodule INTERFACE_INCLUDE_DIRECTORIES)
message(STATUS "fpmodule: ${dll} | ${includes}")
EOF
for arch in "${arches[@]}"; do
  for f in bin/fpmodule.dll bin/fpmodule-virtual.dll lib/fpmodule.dll.a lib/fpmodule.lib \
           lib/cmake/fpmodule/fpmoduleConfig.cmake; do
    [ -e "$sdk/$arch/$f" ] || fail "the SDK lacks $arch/$f"
  done

  # The version resource: the numbers and the description as Explorer shows them.
  strings -el "$sdk/$arch/bin/fpmodule.dll" > "$work/resource-strings-$arch.txt"
  for text in "FileVersion" "ProductVersion" "$version" "Host library for the USB fingerprint module"; do
    grep -qxF "$text" "$work/resource-strings-$arch.txt" || fail "the $arch DLL's version resource lacks \"$text\""
  done

  # MinGW against the .dll.a.
  mkdir -p "$work/$arch/mingw"
  "${triple[$arch]}-w64-mingw32-gcc" -std=c11 -Wall -Werror -I"$sdk/include" "$sdk/examples/find_and_connect.c" \
    "$sdk/$arch/lib/fpmodule.dll.a" -o "$work/$arch/mingw/find_and_connect.exe"
  run_beside_dll "$arch" "$work/$arch/mingw" find_and_connect.exe

  # clang-cl and lld-link against the .lib. Debian has no MSVC runtime, so the program takes
  # msvcrt.dll's printf (declared by the MinGW headers, imported through a .lib made here)
  # and a four-line start-up in place of the MSVC one.
  msvc=$work/$arch/msvc
  mkdir -p "$msvc"
  printf 'LIBRARY msvcrt.dll\nEXPORTS\nprintf\nputs\nputchar\nmemset\nexit\n' > "$msvc/msvcrt.def"
  llvm-dlltool -m "${machine[$arch]}" -d "$msvc/msvcrt.def" -l "$msvc/msvcrt.lib"
  cflags=(--target="${triple[$arch]}-pc-windows-msvc" /nologo /W3 /WX /GS- -D__USE_MINGW_ANSI_STDIO=0
          -imsvc /usr/share/mingw-w64/include /I"$sdk/include")
  # (Inputs after "--": clang-cl would read an absolute path as an option.)
  "${clang_cl[@]}" "${cflags[@]}" /c /Fo"$msvc/firmware_and_size.obj" -- "$sdk/examples/firmware_and_size.c"
  "${clang_cl[@]}" "${cflags[@]}" /c /Fo"$msvc/msvc_start.obj" -- "$source/tests/sdk/msvc_start.c"
  lld-link /nologo /nodefaultlib /subsystem:console /entry:mainCRTStartup "$msvc/firmware_and_size.obj" \
    "$msvc/msvc_start.obj" "$sdk/$arch/lib/fpmodule.lib" "$msvc/msvcrt.lib" /out:"$msvc/firmware_and_size.exe"
  run_beside_dll "$arch" "$msvc" firmware_and_size.exe

  # A CMake consumer of this pointer size finds the package at the SDK's top and gets the
  # folder of its size.
  out=$(cmake -S "$consumer" -B "$work/$arch/consumer" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/${toolchain[$arch]}.cmake" \
          -Dfpmodule_DIR="$sdk/lib/cmake/fpmodule" 2>&1) || fail "CMake consumer ($arch): $out"
  grep -qF "fpmodule: $sdk/$arch/bin/fpmodule.dll | $sdk/$arch/../include" <<< "$out" ||
    fail "CMake consumer ($arch) got another build: $(grep 'fpmodule:' <<< "$out")"
done
echo "Windows SDK (${arches[*]}) with MinGW and MSVC-style import libraries and the CMake package: passed"
