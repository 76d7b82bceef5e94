#!/usr/bin/env bash
# Screenshots of the "Selvane Netzwerk" window as Wine draws it on a real
# (virtual) X display, at 96 and at 144 dpi: <build dir>/netsettings-96.png and
# netsettings-144.png with the example settings, netsettings-refused-96.png and
# netsettings-refused-144.png with a file the libraries refuse (Art-Net
# without a destination: the reason in the status and beside the field), and
# netsettings-usbpro-96.png and netsettings-usbpro-144.png with a USB-Pro file
# whose port is refused (COM257: the network fields off, the reason beside
# "Anschluss:").
#
# Usage: bash tools/screenshot-netsettings.sh [build dir]
#   build dir   default build/win32; build it first with
#               cmake --preset win32 && cmake --build --preset win32
#
# A prefix of its own, <build dir>/wineprefix-x11-netsettings, with the X11
# driver and Wine's Tahoma; the program runs from C:\Selvane with an example
# settings file there and a few log lines. Every Wine process it starts
# belongs to that prefix and is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build/win32}" && pwd)"
exe="$build/network/Selvane-Netzwerk.exe"
say() { printf '[screenshot] %s\n' "$*"; }
[ -f "$exe" ] || { echo "[screenshot] $exe is missing: build $build first" >&2; exit 1; }
for t in xvfb-run xwd xwininfo /usr/bin/convert; do
  command -v "$t" >/dev/null || { echo "[screenshot] $t is missing: run tools/screenshot-dialog.sh once as root" >&2; exit 1; }
done

export WINEPREFIX="$build/wineprefix-x11-netsettings" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
state="$build/wine-state-x11-netsettings"
mkdir -p "$state"
if [ ! -f "$WINEPREFIX/.selvane-x11-ready" ]; then
  say "creating prefix $WINEPREFIX"
  bash tools/wine/wine-template.sh "$WINEPREFIX" >>"$state/wine.log" 2>&1
  # The template draws nowhere (null driver): this one draws on X.
  wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f </dev/null >>"$state/wine.log" 2>&1 || true
  wineserver -w </dev/null >>"$state/wine.log" 2>&1 || true
  touch "$WINEPREFIX/.selvane-x11-ready"
fi
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts" "$WINEPREFIX/drive_c/Selvane"
cp -u /usr/share/wine/fonts/tahoma*.ttf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
cp "$exe" "$WINEPREFIX/drive_c/Selvane/"

cat >"$state/run.sh" <<'INNER'
#!/usr/bin/env bash
# Inside xvfb-run: one screenshot at the given dpi.
set -uo pipefail
dpi="$1"; out="$2"; state="$3"
log="$state/wine.log"
hex=$(printf '0x%x' "$dpi")
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$hex" /f </dev/null >>"$log" 2>&1
wine reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$hex" /f </dev/null >>"$log" 2>&1
wineserver -k </dev/null >/dev/null 2>&1; wineserver -w </dev/null >/dev/null 2>&1
wine 'C:\Selvane\Selvane-Netzwerk.exe' </dev/null >>"$log" 2>&1 &
geometry=""
for _ in $(seq 600); do
  geometry="$(xwininfo -name 'Selvane Netzwerk' 2>/dev/null || true)"
  [ -n "$geometry" ] && break
  sleep 0.1
done
status=1
if [ -n "$geometry" ]; then
  sleep 2  # let it paint
  geometry="$(xwininfo -name 'Selvane Netzwerk')"
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$geometry")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$geometry")
  w=$(awk '/Width:/ {print $2}' <<<"$geometry")
  h=$(awk '/Height:/ {print $2}' <<<"$geometry")
  xwd -root -silent | /usr/bin/convert xwd:- -crop "${w}x${h}+${x}+${y}" +repage png:"$out" && status=0
else
  echo "[screenshot] the window did not appear" >&2
fi
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true
wait
exit $status
INNER

# Something to show: settings beside the program, and a log.
logdir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Selvane"
mkdir -p "$logdir"
printf '%s\r\n' \
  "2026-12-09 19:30:00.000  DMX510.dll: Ausgabe gestartet: sACN an 239.255.0.1:5568, Universum 1 (C:\\Selvane\\Selvane.network.ini)" \
  "2026-12-09 19:31:12.500  DMX510.dll: Senden gescheitert: Netzwerk nicht erreichbar" \
  "2026-12-09 19:31:20.045  DMX510.dll: Senden geht wieder" >"$logdir/Selvane-Netzwerk.log"

status=0
for shot in example refused usbpro; do
  case "$shot" in
    example)
      cp network/Selvane.network.ini "$WINEPREFIX/drive_c/Selvane/"
      name=netsettings ;;
    refused)
      printf '[Output]\r\nProtocol = Art-Net\r\nUniverse = 291\r\n' >"$WINEPREFIX/drive_c/Selvane/Selvane.network.ini"
      name=netsettings-refused ;;
    usbpro)
      printf '[Output]\r\nProtocol = USB-Pro\r\nPort = COM257\r\n' >"$WINEPREFIX/drive_c/Selvane/Selvane.network.ini"
      name=netsettings-usbpro ;;
  esac
  for dpi in 96 144; do
    out="$build/$name-$dpi.png"
    rm -f "$out"
    say "showing the window ($shot settings) at $dpi dpi under Xvfb"
    xvfb-run -a -s "-screen 0 1280x1024x24 -dpi $dpi" bash "$state/run.sh" "$dpi" "$out" "$state" || status=1
    [ -f "$out" ] && say "wrote $out"
  done
done
exit $status
