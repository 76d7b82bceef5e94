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

# 32-bit Wine needs 32-bit x86 programs to run. Where the kernel runs none
# (built or booted without IA-32 emulation), they run under qemu's user-mode
# emulator, registered with binfmt_misc. It must be qemu 8 or later: before
# it, qemu walked every page of Wine's large address-space reservations, and a
# Wine prefix took half an hour instead of about 15 s. Debian 12 ships 7.2, so
# it comes from Debian's own bookworm-backports.
binfmt=/proc/sys/fs/binfmt_misc
can_run_i386() { [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
kernel_runs_i386() {
  local entry=$binfmt/qemu-i386 was_on=0 status
  if [ -w $entry ] && grep -qx enabled $entry; then was_on=1; echo 0 >$entry; fi
  can_run_i386; status=$?
  [ $was_on = 0 ] || echo 1 >$entry
  return $status
}
qemu=/usr/bin/qemu-i386
qemu_is_recent() {
  local major
  major=$("$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\)\..*/\1/p')
  [ -n "$major" ] && [ "$major" -ge 8 ]
}
i386_through_qemu() {
  kernel_runs_i386 && return 0
  if ! qemu_is_recent; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "[setup] this kernel runs no 32-bit programs and qemu-i386 8 or later is missing -- run as root" >&2
      return 1
    fi
    say "this kernel runs no 32-bit programs: installing qemu-user from bookworm-backports (about 30 s)"
    cat >/etc/apt/sources.list.d/selvane-bookworm-backports.sources <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      -t bookworm-backports qemu-user >/dev/null
    qemu_is_recent || { echo "[setup] $qemu is not qemu 8 or later; Wine cannot work here" >&2; return 1; }
  fi
  [ -e $binfmt/register ] || mount -t binfmt_misc binfmt_misc $binfmt
  if [ -e $binfmt/qemu-i386 ] && ! grep -qx "interpreter $qemu" $binfmt/qemu-i386; then
    echo -1 >$binfmt/qemu-i386  # an older emulator's entry
  fi
  if [ ! -e $binfmt/qemu-i386 ]; then
    say "registering $qemu for 32-bit programs"
    # F: the kernel opens the emulator now, so it works in every mount and network namespace.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
      >$binfmt/register
  fi
  grep -qx enabled $binfmt/qemu-i386 || echo 1 >$binfmt/qemu-i386
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
