#!/usr/bin/env bash
# Runs a command in a Wine session in which 32-bit and 64-bit Windows programs run on
# this machine, whether or not its kernel runs 32-bit code (see wine-env.sh), then ends
# the session (the wine server and everything it started).
#
# usage: session.sh [--single] COMMAND [ARGS...]
#   --single: a session for one program (what run.sh opens by itself): the wine server is
#   left to end on its own, so that such sessions may run side by side.
#
# Environment: WINEPREFIX (default: the build folder's wineprefix, made on first use),
# FPM_WINE_MODE (native or emulated: skip the check), FPM_WINE_EMU_HOME (where the
# emulator parts live, default /var/tmp/fpmodule-wine-emu), FPM_WINE_QEMU (another
# qemu-i386, 8.1 or newer).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
self=$fpm_wine_dir/session.sh

single=0
if [ "${1:-}" = --single ]; then single=1; shift; fi
[ $# -ge 1 ] || { echo "usage: session.sh [--single] COMMAND [ARGS...]" >&2; exit 125; }

for part in "$fpm_wine_loader32" "$fpm_wine_loader64" "$fpm_wine_server"; do
  [ -x "$part" ] || fpm_wine_die "$part is missing: install wine, wine32:i386 and wine64 (scripts/install-deps.sh does)"
done

# The private binfmt_misc instance sends i386 ELF files (Wine's 32-bit loader among them)
# to the emulator; flag F opens the emulator once, at registration, instead of at every
# start of a 32-bit program.
namespace_setup='qemu=$1; shift
mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || exit 125
printf "%s" ":fpmodule-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
  > /proc/sys/fs/binfmt_misc/register || exit 125
exec "$@"'

if [ -z "${FPM_WINE_NAMESPACE:-}" ]; then
  mode=$(fpm_wine_mode)
  if [ "$mode" = emulated ]; then
    fpm_wine_qemu_works "$fpm_wine_qemu" ||
      fpm_wine_die "32-bit programs must run emulated here, and no i386 emulator that Wine can use (qemu-user 8.1 or newer) is at $fpm_wine_qemu: run scripts/install-deps.sh, which unpacks one there (or set FPM_WINE_QEMU)"
    fpm_wine_build_trapfix
    # Everything of one session (wine server, programs) stays in this one namespace.
    export FPM_WINE_NAMESPACE=emulated
    unshare --user --map-root-user --mount -- /bin/bash -c "$namespace_setup" namespace "$fpm_wine_qemu" \
      "$fpm_wine_probe" ||
      fpm_wine_die "the kernel runs no 32-bit programs and a private binfmt_misc entry for the emulator could not be made (it needs user namespaces and Linux 6.7 or newer; elsewhere register the emulator system-wide for i386 ELF files, with flag F)"
    again=("$self")
    [ "$single" = 1 ] && again+=(--single)
    exec unshare --user --map-root-user --mount -- /bin/bash -c "$namespace_setup" namespace "$fpm_wine_qemu" \
      /bin/bash "${again[@]}" "$@"
  fi
  export FPM_WINE_NAMESPACE=none
fi

root=$(cd "$fpm_wine_dir/../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-${FPM_BUILD_ROOT:-$root/build}/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export WINELOADERNOEXEC=1   # Debian's Wine has no preloader to re-execute
unset DISPLAY WAYLAND_DISPLAY WINEARCH WINESERVER WINELOADER
if [ "$FPM_WINE_NAMESPACE" = emulated ]; then
  # Only the emulated processes get it (qemu sets it inside the guest).
  export QEMU_SET_ENV="LD_PRELOAD=$fpm_wine_trapfix"
fi

# A win64 prefix: its 64-bit half runs natively in both modes. Made once per Wine version;
# sessions side by side wait for the one that makes it.
prepare_prefix() {
  local stamp="$WINEPREFIX/.fpmodule-prefix" want log
  want="wine $(stat -c '%s %Y' "$fpm_wine_loader64"), win64, crash exit codes"
  [ "$(cat "$stamp" 2> /dev/null)" = "$want" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  log="$WINEPREFIX.wineboot.log"
  echo "wine: making the prefix $WINEPREFIX (32-bit programs: ${FPM_WINE_NAMESPACE/none/native})" >&2
  if ! WINEARCH=win64 timeout -k 10 300 "$fpm_wine_loader64" wineboot --init > "$log" 2>&1 ||
     ! timeout 60 "$fpm_wine_server" -w || [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    cat "$log" >&2
    fpm_wine_die "making the Wine prefix $WINEPREFIX failed or took over 5 minutes (log above)"
  fi
  # A crash must end the program with its exception code. Wine's automatic debugger
  # prints a backtrace but may leave the crashed program with exit status 0.
  local reg="$WINEPREFIX/drive_c/fpmodule-aedebug.reg" view
  {
    printf 'REGEDIT4\r\n\r\n'
    for view in 'Software\Microsoft' 'Software\Wow6432Node\Microsoft'; do
      printf '[HKEY_LOCAL_MACHINE\\%s\\Windows NT\\CurrentVersion\\AeDebug]\r\n"Auto"="1"\r\n"Debugger"=""\r\n\r\n' "$view"
    done
  } > "$reg"
  timeout -k 10 120 "$fpm_wine_loader64" regedit /S 'C:\fpmodule-aedebug.reg' ||
    fpm_wine_die "could not switch off Wine's crash debugger in $WINEPREFIX"
  rm -f "$reg"
  timeout 60 "$fpm_wine_server" -w || true
  echo "$want" > "$stamp"
}
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9> "$WINEPREFIX.lock"
flock 9
prepare_prefix
exec 9>&-

if [ "$single" = 0 ]; then
  # One wine server for every program of the session instead of one per program.
  "$fpm_wine_server" -k 2> /dev/null || true
  "$fpm_wine_server" -p
  trap '"$fpm_wine_server" -k 2> /dev/null || true; timeout 30 "$fpm_wine_server" -w 2> /dev/null || true' EXIT
fi

# Proof that 32-bit Windows programs run here: the 32-bit command interpreter's exit code.
set +e
timeout -k 10 120 "$fpm_wine_loader32" 'C:\windows\syswow64\cmd.exe' /c exit 3 > /dev/null 2>&1
status=$?
set -e
if [ "$status" != 3 ]; then
  fpm_wine_die "32-bit Windows programs do not run in this Wine session ($FPM_WINE_NAMESPACE mode: the 32-bit cmd.exe ended with $status instead of 3). Run scripts/install-deps.sh (wine, wine32:i386, wine64 and, where the kernel runs no 32-bit code, qemu-user 8.1 or newer); FPM_SKIP_WINDOWS_TESTS=1 skips the Windows programs in scripts/test-all.sh."
fi

export FPM_WINE_SESSION=1
set +e
"$@"
status=$?
set -e
exit "$status"
