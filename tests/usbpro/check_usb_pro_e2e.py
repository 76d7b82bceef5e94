#!/usr/bin/env python3
"""Checks one selvane-host run against the emulated USB Pro interface's record.

Usage: check_usb_pro_e2e.py <scenario> <record> <host output> <channels sent> <seconds>
Prints what it measured; exits 1 with the reasons when a check fails.
"""
import re
import sys

from check_usb_pro_run import read_record

BACK_WITHIN_S = 1.1  # the port is tried once a second, by the tick that finds the try due


def level(ch):
    return (ch * 37 + 11) % 256


def host_figures(text):
    def number(pattern):
        m = re.search(pattern, text, re.M)
        return int(m.group(1)) if m else None
    return {
        "frames_sent": number(r"^  frames sent +(\d+),"),
        "send_errors": number(r"^  frames sent +\d+, (\d+) send errors"),
        "problems": number(r"^  problems reported +(\d+)") or 0,
        "host_frames": number(r"^  run .*, (\d+) host frames"),
        "fps": number(r"host frames at (\d+) per second"),
    }


def main():
    scenario, record_path, host_path, sent, seconds = sys.argv[1:6]
    sent, seconds = int(sent), float(seconds)
    frames, events, emulator = read_record(record_path)
    host_text = open(host_path, errors="replace").read().replace("\r", "")
    host = host_figures(host_text)
    problems = []

    def check(ok, why):
        if not ok:
            problems.append(why)

    check(emulator, "the emulator's record has no summary: it did not end cleanly")
    check(host["frames_sent"] is not None and host["host_frames"] is not None, "no status in the host's summary")
    check(frames, "no frame reached the interface")
    if problems:
        return report(problems)

    check(emulator["discarded"] == 0, f"the interface discarded {emulator['discarded']} bytes: a message was cut")
    check(emulator["unexpected"] == 0, f"{emulator['unexpected']} messages with a wrong label or length")
    expected = bytes(level(ch) if ch <= sent else 0 for ch in range(1, 513))
    wrong = [i for i, (_, levels) in enumerate(frames) if levels != expected]
    if wrong:
        levels = frames[wrong[0]][1]
        ch = next(c for c in range(512) if levels[c] != expected[c])
        check(False, f"{len(wrong)} frames with wrong levels; frame {wrong[0] + 1}, channel {ch + 1}: "
                     f"{levels[ch]}, expected {expected[ch]}")
    # The host's loop and the plug-in's timer share a thread: host frames that
    # keep their rate show that no tick held it.
    loop_share = host["host_frames"] / (seconds * host["fps"])
    times = [t for t, _ in frames]
    print(f"{scenario}: {len(frames)} frames arrived, the library counted {host['frames_sent']} sent and "
          f"{host['send_errors']} send errors, {host['problems']} problems reported; host loop at "
          f"{100 * loop_share:.0f}% of its rate")
    if not wrong:
        print(f"{scenario}: channels 1-{sent} as set, {sent + 1}-512 zero, in every frame")
    check(loop_share >= 0.9, f"the host's loop ran {host['host_frames']} frames in {seconds} s: it was held up")

    if scenario in ("dmx510", "dmx120", "dmx60"):
        rate = (len(times) - 1) / (times[-1] - times[0]) if len(times) > 1 else 0
        print(f"{scenario}: {rate:.1f} frames per second")
        check(20 <= rate <= 23, f"{rate:.1f} frames per second, expected about 22")
        check(host["send_errors"] == 0 and host["problems"] == 0, "send errors or reports with the interface there")
        check(abs(host["frames_sent"] - len(frames)) <= 1, "frames counted sent and frames arrived differ")
        check("USB-Pro on COM51, serial number 12345678" in host_text, "the host's status has no serial number")
    elif scenario == "unplug":
        check(host["problems"] == 1, f"{host['problems']} problems reported, expected exactly one")
        check("kein USB-DMX-Interface an COM51" in host_text, "the host's status does not say the interface is gone")
        unplugged, back = events.get("unplug", [None])[0], events.get("replug", [None])[0]
        check(unplugged and back, "the emulator did not unplug and plug back in")
        if unplugged and back:
            after = [t for t in times if t > back]
            check([t for t in times if t < unplugged], "no frame before the unplug")
            check(after, "no frame after the interface came back")
            if after:
                print(f"unplug: output back {1000 * (after[0] - back):.0f} ms after the interface")
                check(after[0] - back <= BACK_WITHIN_S, f"output came back {after[0] - back:.2f} s after the interface")
        # Frames in the pseudo-terminal when it closed are lost with it.
        check(0 <= host["frames_sent"] - len(frames) <= 5, "frames counted sent and frames arrived differ")
    elif scenario == "stall":
        check(host["send_errors"] == 0 and host["problems"] == 0, "a stalled interface is no failure")
        check("stall" in events and "resume" in events, "the emulator did not stall and resume")
        skipped = seconds * 1000 / 45 - host["frames_sent"]
        print(f"stall: about {skipped:.0f} ticks skipped")
        check(skipped >= 5, "no tick was skipped: the stall never filled the buffer")
        # Skipped, not queued: what the library counted sent arrived, nothing more.
        check(host["frames_sent"] == len(frames), f"{host['frames_sent']} frames counted sent, {len(frames)} arrived")
        if "resume" in events:
            check(any(t > events["resume"][0] for t in times), "no frame after the stall")
    return report(problems)


def report(problems):
    for why in problems:
        print(f"FAIL: {why}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
