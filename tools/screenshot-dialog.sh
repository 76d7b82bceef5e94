#!/usr/bin/env bash
# Takes a screenshot of the "Konfiguration" dialog as Wine draws it on a real
# (virtual) X display, and writes it to <build dir>/dialog.png.
#
# Usage: bash tools/screenshot-dialog.sh [build dir [ChannelCount]]
#   build dir     default build/win32; build it first with
#                 cmake --preset win32 && cmake --build --preset win32
#   ChannelCount  the value the dialog opens with, default 510
#
# It uses a prefix of its own beside the test prefix, <build dir>/wineprefix-x11,
# with the X11 driver (the test prefix is switched to the headless null driver),
# no window manager placement and Wine's Tahoma. Every Wine process it starts
# belongs to that prefix and is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build/win32}" && pwd)"
channel_count="${2:-510}"
exe="$build/tools-bin/show_frm_config.exe"
out="$build/dialog.png"
say() { printf '[screenshot] %s\n' "$*"; }

if [ ! -f "$exe" ]; then
  echo "[screenshot] $exe is missing: build $build first" >&2
  exit 1
fi

# Xvfb, xwd, ImageMagick and Wine's own fonts.
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
for p in xvfb xauth x11-apps imagemagick fonts-wine; do have "$p" || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "[screenshot] missing packages: ${need[*]} -- run as root to install them" >&2
    exit 1
  fi
  say "installing ${need[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi
convert=/usr/bin/convert  # /usr/local/bin/convert may be a stand-in

export WINEPREFIX="$build/wineprefix-x11"
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
state="$build/wine-state-x11"
mkdir -p "$state"
rm -f "$out"

cat >"$state/run.sh" <<'INNER'
#!/usr/bin/env bash
# Runs inside xvfb-run: prepares the prefix once, shows the dialog, captures it.
set -uo pipefail
exe="$1"; channel_count="$2"; out="$3"; state="$4"; convert="$5"
log="$state/wine.log"
if [ ! -f "$WINEPREFIX/.selvane-x11-ready" ]; then
  echo "[screenshot] creating prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >>"$log" 2>&1
  # No window manager under Xvfb: Wine places and decorates windows itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >>"$log" 2>&1
  wineserver -w </dev/null >>"$log" 2>&1
  touch "$WINEPREFIX/.selvane-x11-ready"
fi

# Tahoma stands in for "MS Shell Dlg"; Marlett draws the caption buttons.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -u /usr/share/wine/fonts/tahoma*.ttf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

rm -f "$state/dialog.txt"
wine "$exe" "$channel_count" 4000 </dev/null >"$state/dialog.txt" 2>>"$log" &
shown=""
for _ in $(seq 300); do
  shown="$(grep -m1 '^dialog ' "$state/dialog.txt" 2>/dev/null | tr -d '\r' || true)"
  [ -n "$shown" ] && break
  sleep 0.1
done
status=1
if [ -n "$shown" ]; then
  sleep 1  # let it paint
  read -r _ left top right bottom <<<"$shown"
  margin=8
  x=$((left > margin ? left - margin : 0)); y=$((top > margin ? top - margin : 0))
  w=$((right - x + margin)); h=$((bottom - y + margin))
  if xwd -root -silent | "$convert" xwd:- -crop "${w}x${h}+${x}+${y}" +repage png:"$out"; then
    status=0
  fi
else
  echo "[screenshot] the dialog did not appear" >&2
fi
wait
cat "$state/dialog.txt"
wineserver -k </dev/null >/dev/null 2>&1 || true
wineserver -w </dev/null >/dev/null 2>&1 || true
exit $status
INNER

say "showing the dialog (ChannelCount $channel_count) under Xvfb"
xvfb-run -a -s "-screen 0 1024x768x24" bash "$state/run.sh" "$exe" "$channel_count" "$out" "$state" "$convert"
say "wrote $out"
