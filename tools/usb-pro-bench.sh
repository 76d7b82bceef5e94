#!/usr/bin/env bash
# Benchmark of the network DMX510.dll driving a USB Pro interface: a
# pseudo-terminal stands in for the interface's COM port and reads everything.
# Prints rows of the tools/bench table.
# Usage: tools/usb-pro-bench.sh (after a win32 build, with the Wine server of
# build/win32 running; tools/bench runs it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
. tools/wine/wine-env.sh build/win32
work="$root/build/win32/usb-pro-bench"
rm -rf "$work" && mkdir -p "$work"
port=61
link="$WINEPREFIX/dosdevices/com$port"
cp build/win32/network/DMX510.dll build/win32/tools-bin/usb_pro_bench.exe "$work/"
printf '[Output]\nProtocol = USB-Pro\nPort = COM%s\n' "$port" >"$work/Selvane.network.ini"

# The interface: a raw pseudo-terminal, its own controlling terminal (so that
# closing it hangs up nobody else), read as fast as it comes.
python3 - "$link" >"$work/drain.out" 2>&1 <<'PY' &
import fcntl, os, select, signal, sys, termios, tty
link = sys.argv[1]
os.setsid()
signal.signal(signal.SIGHUP, signal.SIG_IGN)
stop = []
signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
master, slave = os.openpty()
tty.setraw(slave)
fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
os.symlink(os.ttyname(slave), link)
try:
    while not stop:
        if select.select([master], [], [], 0.1)[0]:
            os.read(master, 65536)
finally:
    os.unlink(link)
PY
drain=$!
trap 'kill -TERM $drain 2>/dev/null; wait $drain 2>/dev/null' EXIT
for _ in $(seq 100); do [ -L "$link" ] && break; sleep 0.05; done
[ -L "$link" ] || { echo "no pseudo-terminal for the USB Pro benchmark: $(cat "$work/drain.out")" >&2; exit 1; }
(cd "$work" && wine usb_pro_bench.exe "Z:$work" "$port" </dev/null 2>"$work/bench.err" | tr -d '\r')
