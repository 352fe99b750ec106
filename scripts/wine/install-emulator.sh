#!/usr/bin/env bash
# Makes 32-bit Windows programs runnable under Wine where the kernel runs no 32-bit code:
# unpacks qemu-user's i386 emulator (8.1 or newer: Wine's 32-bit start-up needs
# MAP_FIXED_NOREPLACE honoured, which older ones ignore) from the backports suite of the
# Debian mirror the system already uses, and builds the trap fix. Changes no installed
# package. Does nothing where the kernel runs 32-bit programs itself, unless
# FPM_WINE_MODE=emulated asks for the emulated path anyway.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

[ "$(fpm_wine_mode)" = emulated ] || exit 0
fpm_wine_build_trapfix
fpm_wine_qemu_works "$fpm_wine_qemu" && exit 0
if fpm_wine_qemu_works /usr/bin/qemu-i386; then
  mkdir -p "$(dirname "$fpm_wine_qemu")" && ln -sf /usr/bin/qemu-i386 "$fpm_wine_qemu"
  exit 0
fi

mirror=$(sed -n -e 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' \
              -e 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*\)[[:space:]]\+bookworm[[:space:]].*/\2/p' \
              /etc/apt/sources.list /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list 2> /dev/null |
         grep -v -e security -e '^$' | head -n 1 || true)
[ -n "$mirror" ] || fpm_wine_die "no Debian mirror in the apt sources to fetch qemu-user 8.1 or newer from"
apt_dir=$(mktemp -d)
trap 'rm -rf "$apt_dir"' EXIT
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
echo "deb $mirror bookworm-backports main" > "$apt_dir/sources.list"
apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
             -o APT::Architectures=amd64 -o Dir::State::status=/dev/null -o APT::Sandbox::User=root)
echo "wine: fetching qemu-user from bookworm-backports for the 32-bit programs"
apt-get "${apt_options[@]}" update -q > "$apt_dir/update.log" || { cat "$apt_dir/update.log"; exit 1; }
(cd "$apt_dir" && apt-get "${apt_options[@]}" download qemu-user > download.log) || { cat "$apt_dir/download.log"; exit 1; }
unpacked=$fpm_wine_home/qemu
rm -rf "$unpacked.new"
dpkg-deb -x "$apt_dir"/qemu-user_*.deb "$unpacked.new"
# Only the i386 emulator is used; the package holds every target.
find "$unpacked.new/usr/bin" ! -type d ! -name qemu-i386 -delete
rm -rf "$unpacked.new/usr/share" "$unpacked.new/usr/libexec" "$unpacked"
mv "$unpacked.new" "$unpacked"
fpm_wine_qemu_works "$fpm_wine_qemu" ||
  fpm_wine_die "$fpm_wine_qemu from bookworm-backports does not run the 32-bit probe"
echo "wine: $("$fpm_wine_qemu" --version | head -n 1) at $fpm_wine_qemu"
