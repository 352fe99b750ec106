#!/usr/bin/env bash
# Installs what building and testing fpmodule needs on a Debian machine.
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libstb-dev libpng-dev
  g++-mingw-w64-i686 gcc-mingw-w64-i686
  wine wine32 wine64
  doxygen
  python3 python3-pytest python3-pil mono-mcs mono-runtime
  clang lld llvm libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  $SUDO apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Where the kernel runs no 32-bit code, the 32-bit Windows test programs need an i386
# emulator that Wine can use (scripts/wine/install-emulator.sh says more).
if [ -z "${FPM_SKIP_WINDOWS_TESTS:-}" ]; then
  "$(dirname "$0")/wine/install-emulator.sh"
fi
