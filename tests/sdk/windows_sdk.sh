#!/usr/bin/env bash
# Lays out the Windows SDK from the win32 build and uses it as a developer would: a C
# example built with MinGW against fpmodule.dll.a and one built with clang-cl and lld-link
# against fpmodule.lib, both run under Wine beside the SDK's DLL (no module here: "no
# module found"). Also checks the DLL's version resource.
# Usage: windows_sdk.sh <build dir> <source dir> <work dir> <version>
set -euo pipefail
build=$1 source=$2 work=$3 version=$4
sdk=$work/sdk
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$sdk" > "$work/install.log"
for f in bin/fpmodule.dll lib/fpmodule.dll.a lib/fpmodule.lib include/fpmodule.h README.md LICENSE \
         CHANGELOG.md examples/find_and_connect.c examples/CMakeLists.txt lib/cmake/fpmodule/fpmoduleConfig.cmake; do
  [ -e "$sdk/$f" ] || fail "the SDK lacks $f"
done

# The version resource: the numbers and the description as Explorer shows them.
strings -el "$sdk/bin/fpmodule.dll" > "$work/resource-strings.txt"
for text in "FileVersion" "ProductVersion" "$version" "Host library for the USB fingerprint module"; do
  grep -qxF "$text" "$work/resource-strings.txt" || fail "the DLL's version resource lacks \"$text\""
done

run_beside_dll() {  # <folder> <program>: the program must load the SDK's DLL and find no module
  local out
  # It imports the library's undecorated names from fpmodule.dll, whichever import library
  # it was linked with.
  out=$(i686-w64-mingw32-objdump -p "$1/$2")
  grep -q "DLL Name: fpmodule.dll" <<< "$out" || fail "$2 does not import fpmodule.dll"
  grep -qE "\s[0-9]+\s+CheckDeviceConnection$" <<< "$out" || fail "$2 does not import CheckDeviceConnection"
  cp "$sdk/bin/fpmodule.dll" "$1/"
  if [ -n "${FPM_SKIP_WINDOWS_TESTS:-}" ]; then
    echo "built $2; not run: FPM_SKIP_WINDOWS_TESTS is set"
    return
  fi
  out=$(cd "$1" && "$source/scripts/wine/run.sh" "./$2" 2>&1 | tr -d '\r') || true
  grep -q "no module found" <<< "$out" || fail "$2 under Wine: unexpected output: $out"
}

# MinGW against the .dll.a.
mkdir -p "$work/mingw"
i686-w64-mingw32-gcc -std=c11 -Wall -Werror -I"$sdk/include" "$sdk/examples/find_and_connect.c" \
  "$sdk/lib/fpmodule.dll.a" -o "$work/mingw/find_and_connect.exe"
run_beside_dll "$work/mingw" find_and_connect.exe

# clang-cl and lld-link against the .lib. Debian has no MSVC runtime, so the program takes
# msvcrt.dll's printf (declared by the MinGW headers, imported through a .lib made here)
# and a four-line start-up in place of the MSVC one.
clang_cl=(clang --driver-mode=cl)
command -v clang-cl > /dev/null && clang_cl=(clang-cl)
mkdir -p "$work/msvc"
printf 'LIBRARY msvcrt.dll\nEXPORTS\nprintf\nputs\nputchar\nmemset\nexit\n' > "$work/msvc/msvcrt.def"
llvm-dlltool -m i386 -d "$work/msvc/msvcrt.def" -l "$work/msvc/msvcrt.lib"
cflags=(--target=i686-pc-windows-msvc /nologo /W3 /WX /GS- -D__USE_MINGW_ANSI_STDIO=0
        -imsvc /usr/share/mingw-w64/include /I"$sdk/include")
# (Inputs after "--": clang-cl would read an absolute path as an option.)
"${clang_cl[@]}" "${cflags[@]}" /c /Fo"$work/msvc/firmware_and_size.obj" -- "$sdk/examples/firmware_and_size.c"
"${clang_cl[@]}" "${cflags[@]}" /c /Fo"$work/msvc/msvc_start.obj" -- "$source/tests/sdk/msvc_start.c"
lld-link /nologo /nodefaultlib /subsystem:console /entry:mainCRTStartup "$work/msvc/firmware_and_size.obj" \
  "$work/msvc/msvc_start.obj" "$sdk/lib/fpmodule.lib" "$work/msvc/msvcrt.lib" /out:"$work/msvc/firmware_and_size.exe"
run_beside_dll "$work/msvc" firmware_and_size.exe
echo "Windows SDK with MinGW and MSVC-style import libraries: passed"
