# Sourced by the scripts beside it: where the emulator parts live and how this machine
# runs 32-bit x86 programs.
#
# Wine runs a 32-bit Windows program in a 32-bit Linux process. Where the kernel runs
# 32-bit code, that is all ("native"). Where it does not, the 32-bit processes run under
# qemu-user's i386 emulator, reached through a binfmt_misc entry for i386 ELF files that
# is registered in a private user and mount namespace, so nothing system-wide changes
# ("emulated"). Wine's 64-bit half (wineserver, services, the 64-bit programs) always runs
# natively.

fpm_wine_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# What the scripts make (the probe, the trap fix, the unpacked emulator): kept across
# builds and clones, writable by the user who runs the tests.
fpm_wine_home=${FPM_WINE_EMU_HOME:-/var/tmp/fpmodule-wine-emu}
fpm_wine_probe=$fpm_wine_home/probe-i386
fpm_wine_trapfix=$fpm_wine_home/trapfix-i386.so
fpm_wine_qemu=${FPM_WINE_QEMU:-$fpm_wine_home/qemu/usr/bin/qemu-i386}
fpm_wine_loader32=/usr/lib/wine/wine
fpm_wine_loader64=/usr/lib/wine/wine64
fpm_wine_server=/usr/lib/wine/wineserver64
[ -x "$fpm_wine_server" ] || fpm_wine_server=$(command -v wineserver || echo /usr/lib/wine/wineserver)

fpm_wine_die() {
  echo "wine: $*" >&2
  exit 125
}

# Builds $2 from $1 with the remaining arguments unless it is newer than its source.
fpm_wine_build() {
  local source=$1 target=$2; shift 2
  [ -x "$target" ] && [ "$target" -nt "$source" ] && return 0
  mkdir -p "$fpm_wine_home" || return 1
  gcc -m32 "$@" -o "$target.tmp.$$" "$source" && mv -f "$target.tmp.$$" "$target"
}

fpm_wine_build_helpers() {
  fpm_wine_build "$fpm_wine_dir/probe-i386.S" "$fpm_wine_probe" -nostdlib -static -Wl,--build-id=none ||
    fpm_wine_die "cannot build the 32-bit probe (needs gcc with -m32 and binutils): run scripts/install-deps.sh"
}

fpm_wine_build_trapfix() {
  fpm_wine_build "$fpm_wine_dir/trapfix.c" "$fpm_wine_trapfix" -O2 -fPIC -ffreestanding -fno-stack-protector \
    -nostdlib -shared /lib/i386-linux-gnu/libc.so.6 ||
    fpm_wine_die "cannot build $fpm_wine_trapfix (needs gcc -m32 and the i386 C library of wine32): run scripts/install-deps.sh"
}

# native or emulated (FPM_WINE_MODE forces one). Decided by running a 32-bit program:
# a Windows command proves nothing here, since a 64-bit one may run where 32-bit ones
# cannot.
fpm_wine_mode() {
  fpm_wine_build_helpers
  case ${FPM_WINE_MODE:-} in
    native|emulated) echo "$FPM_WINE_MODE"; return ;;
    '') ;;
    *) fpm_wine_die "FPM_WINE_MODE is '$FPM_WINE_MODE'; it takes native or emulated" ;;
  esac
  if "$fpm_wine_probe" > /dev/null 2>&1; then echo native; else echo emulated; fi
}

# Whether $1 is an i386 emulator good enough for Wine (qemu 8.1 or newer).
fpm_wine_qemu_works() {
  [ -x "$1" ] && "$1" "$fpm_wine_probe" > /dev/null 2>&1
}

# Machine type of a PE file: i386, x64 or unknown.
fpm_wine_pe_machine() {
  local pe machine
  pe=$(od -An -tu4 -j60 -N4 "$1" 2> /dev/null | tr -d ' ') || { echo unknown; return; }
  machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2> /dev/null | tr -d ' ')
  case $machine in 014c) echo i386 ;; 8664) echo x64 ;; *) echo unknown ;; esac
}
