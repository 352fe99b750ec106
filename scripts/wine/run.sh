#!/usr/bin/env bash
# Runs one Windows program under Wine with a time limit and exits with its exit code (a
# crash: its exception code, such as 5 for an access violation; 124: over the time limit).
# The test configurations use it as their cross-compiling emulator. Inside a session
# (session.sh) it runs at once; otherwise it opens a session for the program.
#
# usage: run.sh PROGRAM.exe [ARGS...]
# Environment: FPM_WINE_TIMEOUT (seconds, default 900), and session.sh's.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -ge 1 ] || { echo "usage: run.sh PROGRAM.exe [ARGS...]" >&2; exit 125; }
if [ "${FPM_WINE_SESSION:-}" != 1 ]; then
  exec "$here/session.sh" --single "$here/run.sh" "$@"
fi
source "$here/wine-env.sh"
# 64-bit programs start on the 64-bit loader: natively, without a detour through the
# 32-bit one.
loader=$fpm_wine_loader32
[ "$(fpm_wine_pe_machine "$1")" = x64 ] && loader=$fpm_wine_loader64
exec timeout -k 10 "${FPM_WINE_TIMEOUT:-900}" "$loader" "$@"
