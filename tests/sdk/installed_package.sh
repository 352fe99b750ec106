#!/usr/bin/env bash
# Installs the Linux build into a fresh prefix and uses it as a developer would: the
# SONAME and symbol version of the .so, the examples built with pkg-config and with
# find_package, each run against the installed library (no module here: "no module
# found"), and fpmodule taken in as a subproject.
# Usage: installed_package.sh <build dir> <source dir> <work dir>
set -euo pipefail
build=$1 source=$2 work=$3
prefix=$work/prefix
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"
libdir=$(dirname "$(find "$prefix" -name 'libfpmodule.so.1' -print -quit)")
[ -n "$libdir" ] || fail "libfpmodule.so.1 not installed"
for f in include/fpmodule.h bin/fpmodule lib/udev/rules.d/70-fpmodule.rules share/man/man1/fpmodule.1 \
         share/doc/fpmodule/LICENSE share/doc/fpmodule/examples/find_and_connect.c; do
  [ -e "$prefix/$f" ] || fail "$f not installed"
done
[ -e "$libdir/pkgconfig/fpmodule.pc" ] || fail "fpmodule.pc not installed"
[ -e "$libdir/cmake/fpmodule/fpmoduleConfig.cmake" ] || fail "CMake package not installed"

# (Outputs are read whole: grep -q would close a pipe early, which pipefail reports.)
dynamic=$(readelf -d "$libdir/libfpmodule.so.1")
grep -q 'SONAME.*\[libfpmodule\.so\.1\]' <<< "$dynamic" || fail "SONAME is not libfpmodule.so.1"
symbols=$(readelf --dyn-syms -W "$libdir/libfpmodule.so.1")
grep -q ' QuerySize@@FPMODULE_1$' <<< "$symbols" || fail "exports are not in the version node FPMODULE_1"

expect_no_module() {  # <program>: it must load the installed library and find no module
  local out
  out=$(LD_LIBRARY_PATH="$libdir" "$@" 2>&1) && fail "$1 reported success without a module: $out"
  grep -q "no module found" <<< "$out" || fail "$1: unexpected output: $out"
  out=$(LD_LIBRARY_PATH="$libdir" ldd "$1")
  grep -q "libfpmodule.so.1 => $libdir/" <<< "$out" || fail "$1 does not load $libdir"
}

# pkg-config, as a Makefile would.
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion fpmodule)" = "$(sed -n 's/^Version: //p' "$libdir/pkgconfig/fpmodule.pc")" ] ||
  fail "pkg-config does not read fpmodule.pc"
examples=$prefix/share/doc/fpmodule/examples
mkdir -p "$work/pkg-config"
cc -std=c11 -Wall -Werror "$examples/find_and_connect.c" $(pkg-config --cflags --libs fpmodule) \
  -o "$work/pkg-config/find_and_connect"
c++ -std=c++17 -Wall -Werror "$examples/background_enrollment.cpp" $(pkg-config --cflags --libs fpmodule) \
  -pthread -o "$work/pkg-config/background_enrollment"
expect_no_module "$work/pkg-config/find_and_connect"
expect_no_module "$work/pkg-config/background_enrollment"

# find_package, with the examples' own CMake project.
cmake -S "$examples" -B "$work/find_package" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  > "$work/find_package.log" || { cat "$work/find_package.log"; fail "find_package(fpmodule) failed"; }
cmake --build "$work/find_package" > "$work/find_package-build.log" ||
  { cat "$work/find_package-build.log"; fail "the examples do not build"; }
for example in find_and_connect firmware_and_size capture_to_file background_enrollment; do
  expect_no_module "$work/find_package/$example"
done

# A subproject: configuring it adds the library and its alias, and none of the tests,
# tools or benchmarks.
cmake -S "$source/tests/sdk/subproject" -B "$work/subproject" -DFPM_SOURCE_DIR="$source" \
  > "$work/subproject.log" 2>&1 || { cat "$work/subproject.log"; fail "fpmodule does not work as a subproject"; }
echo "installed package, pkg-config, find_package and subproject: passed"
