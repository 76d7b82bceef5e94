#!/usr/bin/env python3
"""An emulated "DMX USB Pro" interface on a pseudo-terminal, for the tests.

Makes a raw pseudo-terminal pair, points the Wine prefix's COM port link
(dosdevices/comN) at its slave side, and reads every message from the master
side as the widget would: by start delimiter, label, length and end delimiter.
Each label-6 frame's 512 levels are recorded with their arrival time; label 10
is answered with a serial number; bytes that make no whole, well-formed
message are counted.

Modes (times count from the first frame):
  --unplug-at S --unplug-for S  close the pseudo-terminal and remove the link,
                                then a new pseudo-terminal and the link again
  --stall-at S --stall-for S    stop reading (at least until the buffer has
                                stopped filling), then read again

The record (one line each, times in seconds on this process's monotonic clock):
  F <time> <512 levels in hex>     a whole label-6 frame
  M <time> <label> <length>        any other whole message
  E <time> <event> [detail]        ready, unplug, replug, stall, resume, end
  X messages=<n> frames=<n> discarded=<n> unexpected=<n>   at the end
Ends on SIGTERM or SIGINT, or after --seconds; removes the link it made and
closes what it opened, nothing else.
"""
import argparse
import array
import fcntl
import os
import select
import signal
import sys
import termios
import time
import tty

START, END = 0x7E, 0xE7
LABEL_DMX, LABEL_SERIAL = 6, 10
MAX_DATA = 600


class Reader:
    """The widget's reading of the stream; mirrors network/usb_pro_message.cpp."""

    def __init__(self):
        self.state, self.taken, self.discarded = "start", 0, 0
        self.label = self.length = 0
        self.data = bytearray()

    def push(self, b):
        """Returns (label, data) when b completed a message, else None."""
        s = self.state
        if s == "start":
            if b != START:
                self.discarded += 1
                return None
            self.state = "label"
        elif s == "label":
            self.label, self.state = b, "low"
        elif s == "low":
            self.length, self.state = b, "high"
        elif s == "high":
            self.length |= b << 8
            if self.length > MAX_DATA:
                return self._discard(b)
            self.data = bytearray()
            self.state = "end" if self.length == 0 else "data"
        elif s == "data":
            self.data.append(b)
            if len(self.data) == self.length:
                self.state = "end"
        elif s == "end":
            if b != END:
                return self._discard(b)
            self.state, self.taken = "start", 0
            return self.label, bytes(self.data)
        self.taken += 1
        return None

    def _discard(self, b):
        self.discarded += self.taken
        self.taken, self.state = 0, "start"
        return self.push(b)


def serial_reply(serial):
    digits = f"{serial:08d}"
    bcd = bytes(int(digits[i:i + 2], 16) for i in range(6, -1, -2))  # least significant first
    return bytes([START, LABEL_SERIAL, len(bcd), 0]) + bcd + bytes([END])


class Emulator:
    def __init__(self, args):
        self.args = args
        self.record = open(args.record, "w", buffering=1)
        self.reader = Reader()
        self.master = self.slave = None
        self.slave_path = None
        self.messages = self.frames = self.unexpected = 0
        self.first_frame = None
        self.stopping = False

    def log(self, line):
        self.record.write(line + "\n")

    def event(self, name, detail=""):
        self.log(f"E {time.monotonic():.4f} {name} {detail}".rstrip())

    def plug(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        # The pseudo-terminal becomes this session's controlling terminal, so
        # that it cannot become the wineserver's (a session leader that opens
        # it): closing the master would then send the server SIGHUP, and it
        # stalls every Wine process while it dumps its objects. Nothing of the
        # sort happens with a real interface.
        try:
            fcntl.ioctl(self.slave, termios.TIOCSCTTY, 0)
        except OSError as error:
            self.event("no-controlling-terminal", error.strerror.replace(" ", "-"))
        self.slave_path = os.ttyname(self.slave)
        os.set_blocking(self.master, False)
        tmp = f"{self.args.link}.{os.getpid()}"
        os.symlink(self.slave_path, tmp)
        os.replace(tmp, self.args.link)

    def unplug(self):
        if os.path.islink(self.args.link) and os.readlink(self.args.link) == self.slave_path:
            os.unlink(self.args.link)
        for fd in (self.master, self.slave):
            if fd is not None:
                os.close(fd)
        self.master = self.slave = None

    def waiting_bytes(self):
        count = array.array("i", [0])
        fcntl.ioctl(self.master, termios.FIONREAD, count)
        return count[0]

    def take(self, data):
        now = time.monotonic()
        for b in data:
            message = self.reader.push(b)
            if message is None:
                continue
            label, payload = message
            self.messages += 1
            if label == LABEL_DMX and 25 <= len(payload) <= 513 and payload[0] == 0:
                self.frames += 1
                if self.first_frame is None:
                    self.first_frame = now
                levels = payload[1:] + bytes(513 - len(payload))
                self.log(f"F {now:.4f} {levels.hex()}")
            else:
                self.log(f"M {now:.4f} {label} {len(payload)}")
                if label == LABEL_SERIAL and len(payload) == 0:
                    if self.args.serial:
                        os.write(self.master, serial_reply(self.args.serial))
                else:
                    self.unexpected += 1

    def read_for(self, seconds):
        """Reads and decodes until `seconds` have passed or the run ends."""
        deadline = time.monotonic() + seconds
        while not self.stopping:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            ready, _, _ = select.select([self.master], [], [], min(left, 0.02))
            if not ready:
                continue
            try:
                data = os.read(self.master, 65536)
            except BlockingIOError:
                continue
            except OSError:  # no slave open just now (the program closed its port)
                time.sleep(0.005)
                continue
            self.take(data)

    def until_first_frame(self):
        while not self.stopping and self.first_frame is None:
            self.read_for(0.05)

    def stall(self):
        self.event("stall", str(self.waiting_bytes()))
        began, last, steady_since = time.monotonic(), -1, time.monotonic()
        while not self.stopping:
            waiting = self.waiting_bytes()
            now = time.monotonic()
            if waiting != last:
                last, steady_since = waiting, now
            if now - began >= self.args.stall_for and now - steady_since >= 0.5:
                break
            time.sleep(0.05)
        self.event("resume", str(last))

    def run(self):
        self.plug()
        self.event("ready", self.slave_path)
        if self.args.unplug_at is not None or self.args.stall_at is not None:
            self.until_first_frame()
            at = self.args.unplug_at if self.args.unplug_at is not None else self.args.stall_at
            self.read_for(self.first_frame + at - time.monotonic())
            if self.args.unplug_at is not None and not self.stopping:
                self.unplug()
                self.event("unplug")
                end = time.monotonic() + self.args.unplug_for
                while not self.stopping and time.monotonic() < end:
                    time.sleep(0.01)
                if not self.stopping:
                    self.plug()
                    self.event("replug", self.slave_path)
            elif not self.stopping:
                self.stall()
        self.read_for(self.args.seconds)

    def finish(self):
        self.event("end")
        self.log(f"X messages={self.messages} frames={self.frames} "
                 f"discarded={self.reader.discarded} unexpected={self.unexpected}")
        self.unplug()
        self.record.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--link", required=True, help="the prefix's dosdevices/comN")
    parser.add_argument("--record", required=True)
    parser.add_argument("--serial", type=int, default=12345678, help="0: never answer label 10")
    parser.add_argument("--seconds", type=float, default=60, help="longest run after the modes")
    parser.add_argument("--unplug-at", type=float)
    parser.add_argument("--unplug-for", type=float, default=2.0)
    parser.add_argument("--stall-at", type=float)
    parser.add_argument("--stall-for", type=float, default=2.0)
    args = parser.parse_args()
    if os.path.lexists(args.link):
        sys.exit(f"usb_pro_emulator: {args.link} exists already; another emulator may own it")

    try:
        os.setsid()  # a session of its own, for the controlling terminal (see plug)
    except OSError:
        pass  # a process group leader already: the terminal may still be taken
    signal.signal(signal.SIGHUP, signal.SIG_IGN)  # closing our own master hangs us up
    emulator = Emulator(args)

    def stop(_signum, _frame):
        emulator.stopping = True

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    try:
        emulator.run()
    finally:
        emulator.finish()


if __name__ == "__main__":
    main()
