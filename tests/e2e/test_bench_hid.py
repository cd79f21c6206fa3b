"""The bench's HID latency path without the program: hid-phone keys timing
key pad reports into the virtual USB phone, the bare HID reader
(bench-hid-direct) posting them to the stand-in softphone, and the bench's
own matching of the two logs. A wrong clock, a lost or doubled key, or a
reader that outlives its device would each make the bench's figure wrong
or hang it."""

import os
import shutil
import unittest

from scripts.lib.bench.hid_latency import KEY_5, KEYPAD_IDLE, MODEL, HidPhone
from scripts.lib.bench.latency import INTERVAL_MS
from scripts.lib.desktop import WineDesktop

BIN = os.environ["TANDIVOREX_BIN"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]
KEYS = 6


class BareHidReader(unittest.TestCase):
    def setUp(self):
        artifacts = os.path.join(ARTIFACTS, "bench-hid", self._testMethodName)
        shutil.rmtree(artifacts, ignore_errors=True)
        self.desk = self.enterContext(WineDesktop(BIN, artifacts))
        _, self.log = self.desk.start_softphone()
        self.phone = HidPhone(self.desk, self.log)
        self.phone.phone("install")
        self.addCleanup(self.desk.run, "hid-phone.exe", "unplug")

    def test_keys_are_timed_to_the_softphone_until_the_phone_goes(self):
        self.phone.phone("plug", MODEL)
        reader, _ = self.phone.start_anchor("bench-hid-direct.exe", "open", 10)
        self.phone.keys_reach_softphone()
        before = len(self.log.keys())
        self.phone.burst(KEYS, "direct")

        latencies = self.phone.latencies.get(("hid", "direct"), [])
        self.assertEqual({}, self.phone.lost)
        self.assertEqual(KEYS, len(latencies))
        # The same clock on both sides: each key comes after its report, and
        # well within the interval that the next report waits.
        for latency in latencies:
            self.assertGreater(latency, 0)
            self.assertLess(latency, INTERVAL_MS / 2)
        keys = [(kind, vk) for kind, vk, _, _ in self.log.keys()[before:]]
        self.assertEqual([("keydown", 0x35), ("keyup", 0x35)] * KEYS, keys)

        self.phone.phone("unplug")
        self.assertEqual(0, reader.wait(timeout=10), self.desk.output(reader))
        self.assertIn("closed", self.desk.output(reader).split())

    def test_bad_requests_are_refused(self):
        rc, out = self.desk.run("hid-phone.exe", "keys", "3", "150", KEY_5, KEYPAD_IDLE)
        self.assertEqual(1, rc, out)
        self.assertIn("no device is plugged", out)
        for args in (["0", "150", KEY_5, KEYPAD_IDLE], ["3", "x", KEY_5, KEYPAD_IDLE],
                     ["3", "150", KEY_5, "zz"], ["3", "150", KEY_5]):
            rc, out = self.desk.run("hid-phone.exe", "keys", *args)
            self.assertEqual(2, rc, f"keys {args}: {out}")
        # No device to read: the reader says so and ends, rather than wait.
        rc, out = self.desk.run("bench-hid-direct.exe", timeout=30)
        self.assertEqual(1, rc, out)
        self.assertIn("no telephony collection", out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
