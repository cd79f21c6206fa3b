"""Key pad reports timed to the softphone's window: read by the HID edition
and by the bare HID reader (bench-hid-direct) that it is measured against."""

import time

from scripts.lib.bench.latency import INTERVAL_MS, Turns, key_down_between

# The virtual phone, and its key 5 down and up as Wine's parser lays out its
# report 2: the key pad's array from bit 0, Phone Key 0 as 1, 0 for none.
MODEL = "keypad"
KEY_5, KEYPAD_IDLE = "02 06 00", "02 00 00"
VK_5 = 0x35


class HidPhone(Turns):
    """The virtual USB phone, lent to the bare reader by unplugging it: the
    program lets it go and the reader finds it plugged in again; unplugged
    once more, the reader's read fails and it ends."""

    def phone(self, *args, timeout=30):
        rc, out = self.desk.run("hid-phone.exe", *map(str, args), timeout=timeout)
        if rc != 0:
            raise RuntimeError(f"hid-phone {' '.join(map(str, args))} failed ({rc}): {out.strip()}")
        return out

    def press(self, count):
        """The key pressed count times, an interval apart; when each report went."""
        out = self.phone("keys", count, INTERVAL_MS, KEY_5, KEYPAD_IDLE, timeout=30 + count * INTERVAL_MS / 1000)
        return [float(line.split()[0]) for line in out.splitlines() if line.split()[1:] == ["sent"]]

    def press_digit(self):
        try:
            return len(self.press(1)) == 1
        except RuntimeError:
            return False

    def burst(self, count, side):
        phone_before = len(self.phone_log.events())
        sent = self.press(count)
        time.sleep(0.3)  # the last key's up, a hold after its down
        downs = [e for e in self.phone_log.events()[phone_before:] if e["kind"] == "keydown"]
        for i, start in enumerate(sent):
            end = sent[i + 1] if i + 1 < len(sent) else start + 1000
            self.count(side, "hid", start, key_down_between(downs, VK_5, start, end))

    def lend_to_direct(self):
        self.phone("unplug")
        time.sleep(0.5)  # the program closes the lost device
        self.pause()
        self.phone("plug", MODEL)
        proc, _ = self.start_anchor("bench-hid-direct.exe", "open", 10)
        self.keys_reach_softphone()
        return proc

    def take_back(self, proc):
        self.phone("unplug")  # the reader's read fails, and it ends
        proc.wait(timeout=10)
        self.resume()
        self.phone("plug", MODEL)
        self.keys_reach_softphone()  # the program has found it again

    def round(self, count):
        """One round: count keys read by the program, then as many by the bare reader."""
        self.burst(count, "program")
        proc = self.lend_to_direct()
        self.burst(count, "direct")
        self.take_back(proc)
