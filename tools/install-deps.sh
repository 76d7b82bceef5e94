#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine (run as root).
# Safe to run again: it installs only what is missing.
set -euo pipefail

say() { printf '[setup] %s\n' "$*"; }

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

want=(cmake make g++ clang libclang-rt-14-dev g++-mingw-w64-i686 mingw-w64-tools
      wine wine32:i386 wine64 xvfb xauth x11-apps imagemagick binutils-mingw-w64-i686 libwine-dev fonts-wine
      ola nftables iproute2 curl)  # the network libraries' receiver (olad), its namespace and guard
if [ "${SELVANE_MINIMAL:-0}" = 1 ]; then
  want=(cmake make g++ g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386 wine64 libwine-dev)
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "enabling i386 multiarch (needed for 32-bit Wine)"
  dpkg --add-architecture i386
  updated=0
fi
for p in "${want[@]}"; do have "$p" || need+=("$p"); done
[ -d /usr/src/googletest ] || need+=(googletest)

if [ ${#need[@]} -eq 0 ]; then
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
say "toolchain ready"
