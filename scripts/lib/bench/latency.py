"""Handset events timed to the softphone's window: sent by the program, and
by the direct post (bench-direct) that it is measured against."""

import os
import signal
import time

from scripts.lib.desktop import SoftphoneLog, wait_for

# Longer than the program's 100 ms key hold, so that each event finds it idle.
INTERVAL_MS = 150

# The events measured: a digit ('5') and an extended key (Right), which must be
# switched on first with event 0, value 256; and the key each must bring.
DIGIT = (11, 0x85)
EXTENDED = (4, 4)
KEYSET = (0, 256)
MEASURED = {DIGIT[0]: ("digit", 0x35), EXTENDED[0]: ("ext", 0x27)}


def key_down_between(downs, vk, start, end):
    """The first key down of vk that the softphone dequeued from start until end."""
    return next((k for k in downs if start <= k["t"] < end and int(k["vk"], 16) == vk), None)


class Turns:
    """A device, the program that has it and the softphone it serves, which
    the program and an anchor take in turns: while the anchor has it, the
    program's process is paused, so that its tries to open the device again
    neither take it back nor compete for the CPU."""

    def __init__(self, desk, phone_log):
        self.desk = desk
        self.phone_log = phone_log
        self.pid = None  # the program's, once it runs
        self.paused = False
        self.latencies = {}  # (kind, side) -> [ms]
        self.lost = {}  # side -> events that brought no key

    def press_digit(self):
        """Sends one digit from the device; whether it was sent."""
        raise NotImplementedError

    def keys_reach_softphone(self, timeout=10):
        """Waits until a digit sent now reaches the softphone: whoever has the
        device is connected end to end. The key is not counted."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            before = len(self.phone_log.keys())
            if self.press_digit() and wait_for(lambda: len(self.phone_log.keys()) > before, 1.5):
                # Its key up comes a hold later; the next event must find all quiet.
                time.sleep(0.3)
                return
            time.sleep(0.3)
        raise RuntimeError("keys from the device do not reach the softphone")

    def pause(self):
        os.kill(self.pid, signal.SIGSTOP)
        self.paused = True

    def resume(self):
        if self.paused:
            os.kill(self.pid, signal.SIGCONT)
            self.paused = False

    def start_anchor(self, name, ready, timeout):
        """Starts an anchor and waits until it prints the word ready."""
        proc = self.desk.start(name)
        log = self.desk.processes[-1][1].name

        def said(word):
            with open(log, errors="replace") as f:
                return word in f.read().split()

        if not wait_for(lambda: said(ready) or proc.poll() is not None, timeout) or proc.poll() is not None:
            raise RuntimeError(f"{name} did not say '{ready}': {self.desk.output(proc).strip()}")
        return proc, said

    def count(self, side, kind, start, down):
        """One measured event: its latency, or one more lost."""
        if down is None:
            self.lost[side] = self.lost.get(side, 0) + 1
        else:
            self.latencies.setdefault((kind, side), []).append(down["t"] - start)


class Handset(Turns):
    """The simulated handset, lent to the direct post (bench-direct) and
    taken back by unplugging it."""

    def __init__(self, desk, device_log, phone_log):
        super().__init__(desk, phone_log)
        self.device_log = SoftphoneLog(device_log)  # the same line format
        self.holds = []
        self.keys_sent = 0

    def forget(self):
        """What was measured so far (a warm-up's) does not count."""
        self.latencies, self.holds, self.lost, self.keys_sent = {}, [], {}, 0

    def press(self, event):
        rc, _ = self.desk.run("handset-sim.exe", "event", str(event[0]), str(event[1]))
        return rc == 0

    def press_digit(self):
        return self.press(DIGIT)

    def burst(self, probe, pairs, side):
        """Sends digit and extended key in turn, pairs times, and reads back when
        each event left the device and when its key down reached the window."""
        events_before = len(self.device_log.events())
        phone_before = len(self.phone_log.events())
        probe("burst", pairs, INTERVAL_MS, *DIGIT, *EXTENDED, timeout=60 + 2 * pairs * INTERVAL_MS / 1000)
        time.sleep(0.3)  # the last key's up, a hold after its down
        sent = [e for e in self.device_log.events()[events_before:] if e["kind"] == "event"]
        phone = self.phone_log.events()[phone_before:]
        downs = [e for e in phone if e["kind"] == "keydown"]
        ups = [e for e in phone if e["kind"] == "keyup"]
        for i, event in enumerate(sent):
            if int(event["type"]) not in MEASURED:
                continue
            kind, vk = MEASURED[int(event["type"])]
            start = event["t"]
            end = sent[i + 1]["t"] if i + 1 < len(sent) else start + 1000
            down = key_down_between(downs, vk, start, end)
            self.count(side, kind, start, down)
            if down is not None and side == "program":
                self.keys_sent += 1
                up = next((k for k in ups if k["t"] > down["t"] and k["vk"] == down["vk"]), None)
                if up is not None:
                    self.holds.append(up["t"] - down["t"])

    def lend_to_direct(self):
        """Hands the handset over to the direct post: unplugged, the program lets
        it go, and is paused before it is plugged in again."""
        self.desk.sim("unplug")
        time.sleep(0.5)  # the program closes the lost handset
        self.pause()
        proc, said = self.start_anchor("bench-direct.exe", "opening", 10)
        self.desk.sim("plug")
        if not wait_for(lambda: said("open") or proc.poll() is not None, 12) or proc.poll() is not None:
            raise RuntimeError("bench-direct did not get the handset")
        self.keys_reach_softphone()
        return proc

    def take_back(self, proc):
        self.desk.sim("unplug")  # the direct post closes and ends
        proc.wait(timeout=10)
        self.resume()
        self.desk.sim("plug")
        self.keys_reach_softphone()  # the program has the handset again

    def round(self, probe, pairs):
        """One round: pairs of events by the program, then as many by the direct post."""
        self.press(KEYSET)
        self.burst(probe, pairs, "program")
        proc = self.lend_to_direct()
        self.burst(probe, pairs, "direct")
        self.take_back(proc)
