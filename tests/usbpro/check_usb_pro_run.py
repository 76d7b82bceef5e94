#!/usr/bin/env python3
"""Checks one run of usb_pro_port_run against the emulator's record.

Usage: check_usb_pro_run.py frames|unplug|stall <record> <ticks>
Prints what it measured; exits 1 with the reasons when a check fails.
"""
import statistics
import sys

CHANNELS = 509
PERIOD_MS = 45
WAITING_CALL_MS = 20      # what a stalled interface may take of a tick
LONGEST_CALL_MS = 30      # that, and a busy machine's scheduling
LATE_GAP_MS = 2 * PERIOD_MS  # a tick this late is one lost; one in a hundred may be, on a busy machine
LONGEST_GAP_MS = 250
# Output is back within a second of the interface: the port is tried once a
# second, and the tick that finds the try due comes up to a period later.
BACK_WITHIN_S = 1.0 + PERIOD_MS / 1000 + 0.05


def expected_levels(k):
    levels = bytearray(512)
    levels[0], levels[1] = k & 0xFF, (k >> 8) & 0xFF
    for i in range(2, CHANNELS):
        levels[i] = (k * 7 + i) & 0xFF
    return bytes(levels)


def read_record(path):
    frames, events, summary = [], {}, {}
    for line in open(path):
        kind, *rest = line.split()
        if kind == "F":
            frames.append((float(rest[0]), bytes.fromhex(rest[1])))
        elif kind == "E":
            events.setdefault(rest[1], []).append(float(rest[0]))
        elif kind == "X":
            summary = {k: int(v) for k, v in (item.split("=") for item in rest)}
    return frames, events, summary


def read_ticks(path):
    ticks, failures, summary = [], [], {}
    for line in open(path):
        kind, *rest = line.split(maxsplit=1)
        rest = rest[0].split() if rest else []
        if kind == "T":
            ticks.append({"frame": int(rest[0]), "start": float(rest[1]), "ms": float(rest[2]),
                          "result": rest[3], "error": int(rest[4]), "pending": int(rest[6])})
        elif kind == "FAIL":
            failures.append(line.strip())
        elif kind == "S":
            summary = {k: int(v) for k, v in (item.split("=") for item in rest)}
    return ticks, failures, summary


def main():
    mode, record_path, ticks_path = sys.argv[1:4]
    frames, events, emulator = read_record(record_path)
    ticks, problems, program = read_ticks(ticks_path)

    def check(ok, why):
        if not ok:
            problems.append(why)

    check(emulator, "the emulator's record has no summary: it did not end cleanly")
    check(ticks, "the program made no tick")
    check("no-controlling-terminal" not in events,
          "the emulator could not make the pseudo-terminal its own controlling terminal: an unplug would "
          "hang up the wineserver (see usb_pro_emulator.py)")
    if not (emulator and ticks):
        return report(problems)

    # Every message whole and well-formed, every frame's levels channel for channel.
    check(emulator["discarded"] == 0, f"the emulator discarded {emulator['discarded']} bytes: a message was cut")
    check(emulator["unexpected"] == 0, f"{emulator['unexpected']} messages with a wrong label or length")
    numbers = []
    for t, levels in frames:
        k = levels[0] | levels[1] << 8
        numbers.append(k)
        if levels != expected_levels(k):
            wrong = next(i for i in range(512) if levels[i] != expected_levels(k)[i])
            check(False, f"frame {k}: channel {wrong + 1} is {levels[wrong]}, expected {expected_levels(k)[wrong]}")
    check(numbers == sorted(set(numbers)), "frames arrived twice or out of order")

    # What the program sent is what arrived; nothing it skipped ever arrives.
    result = {t["frame"]: t["result"] for t in ticks}
    sent = [k for k, r in result.items() if r == "sent"]
    arrived_unsent = [k for k in numbers if result.get(k) != "sent"]
    check(not arrived_unsent, f"frames the program skipped or never sent arrived: {arrived_unsent[:5]}")

    # The rhythm: no call over the timeout, ticks at their period.
    longest = max(t["ms"] for t in ticks)
    starts = [t["start"] for t in ticks]
    gaps = [b - a for a, b in zip(starts, starts[1:])]
    check(longest <= LONGEST_CALL_MS, f"a call took {longest:.1f} ms (at most {LONGEST_CALL_MS})")
    waited = [t["ms"] for t in ticks if t["ms"] > 5]
    if waited:
        check(statistics.median(waited) <= WAITING_CALL_MS,
              f"calls that waited for the interface took {statistics.median(waited):.1f} ms (median)")
    late = [g for g in gaps if g > LATE_GAP_MS]
    check(len(late) <= 1 + len(gaps) // 100, f"{len(late)} ticks came over {LATE_GAP_MS} ms after the one before")
    check(gaps and max(gaps) <= LONGEST_GAP_MS, f"a tick came {max(gaps):.1f} ms after the one before")
    check(abs(statistics.median(gaps) - PERIOD_MS) <= 5, f"median tick period {statistics.median(gaps):.1f} ms")
    counts = {r: sum(1 for t in ticks if t["result"] == r) for r in ("sent", "skipped", "failed")}
    print(f"{mode}: {len(ticks)} ticks ({counts['sent']} sent, {counts['skipped']} skipped, {counts['failed']} failed), "
          f"{len(frames)} frames arrived; longest call {longest:.1f} ms, median of those that waited "
          f"{statistics.median(waited) if waited else 0:.1f} ms; tick period median "
          f"{statistics.median(gaps):.1f} ms, longest {max(gaps):.1f} ms")

    outages = sum(1 for a, b in zip([None] + ticks, ticks) if b["result"] == "failed" and (a is None or a["result"] != "failed"))
    if mode == "frames":
        span = frames[-1][0] - frames[0][0] if len(frames) > 1 else 0
        rate = (len(frames) - 1) / span if span else 0
        print(f"frames: {rate:.1f} frames/s; serial number {program.get('serial')}")
        check(20 <= rate <= 23, f"{rate:.1f} frames per second, expected about 22")
        check(counts["skipped"] == 0 and counts["failed"] == 0, "a tick was skipped or failed with the interface reading")
        check(len(sent) - len(frames) <= 1, f"{len(sent)} frames sent, {len(frames)} arrived")
        check(program.get("serial") == 12345678, f"serial number {program.get('serial')}, the emulator says 12345678")
    elif mode == "unplug":
        check(outages == 1, f"{outages} outages reported, expected exactly one")
        unplugged, back = events.get("unplug", [None])[0], events.get("replug", [None])[0]
        check(unplugged and back, "the emulator did not unplug and plug back in")
        if unplugged and back:
            after = [t for t, _ in frames if t > back]
            before = [t for t, _ in frames if t < unplugged]
            check(before, "no frame arrived before the unplug")
            check(after, "no frame arrived after the interface came back")
            if after:
                print(f"unplug: output back {1000 * (after[0] - back):.0f} ms after the interface; "
                      f"{program.get('attempts')} opens tried")
                check(after[0] - back <= BACK_WITHIN_S, f"output came back {after[0] - back:.2f} s after the interface")
            failed = [t["start"] for t in ticks if t["result"] == "failed"]
            outage_s = (failed[-1] - failed[0]) / 1000 if failed else 0
            # The first open, one try a second during the outage, the reopen.
            check(program.get("attempts", 99) <= 2 + int(outage_s) + 1,
                  f"{program.get('attempts')} opens tried in a {outage_s:.1f} s outage: more than one a second")
    elif mode == "stall":
        check("stall" in events and "resume" in events, "the emulator did not stall and resume")
        check(counts["failed"] == 0, "a stalled interface, or one that never tells its serial number, is no failure")
        check(program.get("serial") == 0, f"serial number {program.get('serial')} from an interface that never said it")
        check(counts["skipped"] >= 5, f"only {counts['skipped']} ticks skipped: the buffer never filled")
        cut = [t["frame"] for t in ticks if t["pending"] > 0]
        print(f"stall: {len(cut)} ticks left part of a message to finish; {len(sent)} sent, {len(frames)} arrived")
        check(cut, "no write was cut part-way: the stall did not test the finishing of a cut message")
        check(len(frames) >= len(sent) - 1, f"{len(sent)} frames sent, {len(frames)} arrived: frames were lost")
        if "resume" in events:
            check(any(t > events["resume"][0] for t, _ in frames), "no frame arrived after the stall")
    return report(problems)


def report(problems):
    for why in problems:
        print(f"FAIL: {why}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
