#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as root).
# Safe to run again: it installs only what is missing.
set -euo pipefail

say() { printf '[setup] %s\n' "$*"; }

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

want=(cmake make g++ clang libclang-rt-14-dev g++-mingw-w64-i686 mingw-w64-tools
      wine wine32:i386 wine64 xvfb xauth x11-apps imagemagick binutils-mingw-w64-i686 libwine-dev fonts-wine
      locales
      ola nftables iproute2 curl)  # the network libraries' receiver (olad), its namespace and guard
if [ "${SELVANE_MINIMAL:-0}" = 1 ]; then
  want=(cmake make g++ g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64 libwine-dev locales)
fi
# The release (tools/release.sh): the installer is built with wixl, checked with msitools.
[ "${SELVANE_MINIMAL:-0}" = 1 ] || want+=(wixl msitools zip unzip)

# The native tests check that the settings text does not depend on the
# locale, under a German one (',' for decimals, '.' for grouping).
german_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }
make_german_locale() {
  german_locale && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "[setup] the locale de_DE.UTF-8 is missing -- run as root to generate it" >&2
    return 1
  fi
  say "generating the locale de_DE.UTF-8"
  sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "enabling i386 multiarch (needed for 32-bit Wine)"
  dpkg --add-architecture i386
  updated=0
fi
for p in "${want[@]}"; do have "$p" || need+=("$p"); done
[ -d /usr/src/googletest ] || need+=(googletest)

# 32-bit Wine needs a kernel that runs 32-bit programs. Where it cannot (a
# kernel without IA-32 emulation) and SELVANE_EMULATE_I386=1 asks for it, they
# run under qemu's user-mode emulator, registered with binfmt_misc: the same
# Wine, but hours for the Windows tests.
can_run_i386() { [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
i386_through_qemu() {
  can_run_i386 && return 0
  [ "${SELVANE_EMULATE_I386:-0}" = 1 ] || return 0
  if ! have qemu-user-static; then
    say "installing qemu-user-static"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
  fi
  [ -e /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    say "this kernel runs no 32-bit programs: registering qemu-i386 for them"
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      >/proc/sys/fs/binfmt_misc/register
  fi
  can_run_i386 || { echo "[setup] 32-bit programs still do not run; Wine cannot work here" >&2; return 1; }
}
if [ ${#need[@]} -eq 0 ]; then
  make_german_locale
  i386_through_qemu
  say "toolchain already installed"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "[setup] missing packages: ${need[*]} -- run as root to install them" >&2
  exit 1
fi
say "updating package lists"
DEBIAN_FRONTEND=noninteractive apt-get update -qq
say "installing: ${need[*]} (about a minute)"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
make_german_locale
i386_through_qemu
say "toolchain ready"
