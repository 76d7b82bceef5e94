#!/usr/bin/env bash
# Makes a fresh private Wine prefix by copying a template, which is made once
# per machine and Wine version and kept outside the work tree. Making a prefix
# runs all of Wine's set-up, which takes minutes where 32-bit code runs under
# emulation; a copy takes a second.
# Usage: wine-template.sh <new prefix folder>
set -euo pipefail
target=${1:?prefix folder}
version=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)
cache=${SELVANE_WINE_CACHE:-/var/cache/selvane}
template="$cache/wineprefix-$version-win32"
mkdir -p "$cache"

make_template() {
  local tmp="$template.making.$$"
  rm -rf "$tmp"
  echo "[wine] making the prefix template $template (once per machine; minutes under emulation)"
  # Wine's own exit codes say little here; what the prefix holds afterwards decides.
  (
    export WINEPREFIX="$tmp" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY
    wineboot -i </dev/null >/dev/null 2>&1
    # Every window, dialogs included, works without an X display.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # Under Xvfb there is no window manager: let Wine place windows itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
  ) || true
  if [ ! -f "$tmp/system.reg" ] || ! grep -q '"Graphics"="null"' "$tmp/user.reg" 2>/dev/null ||
     [ ! -f "$tmp/drive_c/windows/system32/kernel32.dll" ]; then
    echo "[wine] making the prefix template failed: see 'WINEPREFIX=$tmp wineboot -i'" >&2
    return 1
  fi
  mkdir -p "$tmp/drive_c/windows/Fonts"
  cp /usr/share/wine/fonts/tahoma*.ttf "$tmp/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$tmp/.selvane-template"
  mv "$tmp" "$template"
}

# One maker at a time; the others wait for it.
exec 9>"$cache/.wineprefix.lock"
flock 9
# Under emulation Wine's set-up now and then loses a process; one more try.
[ -f "$template/.selvane-template" ] || make_template || make_template
flock -u 9

rm -rf "$target"
mkdir -p "$(dirname "$target")"
cp -a "$template" "$target"
rm -f "$target/.selvane-template"
