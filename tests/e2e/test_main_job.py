"""End to end: Tandivorex.exe with the simulated handset and the stand-in
softphone as separate processes in the Wine desktop; the tray is read from
screenshots, which are kept under the artefacts folder."""

import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "lib"))
from desktop import (CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE, Desktop,  # noqa: E402
                     wait_for)

BIN = os.environ["TANDIVOREX_BIN"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]

OPEN, CLOSE = 0x0000, 0xFFFF
KEY_LPARAM = 0x0001C001
VK_RETURN, VK_ESCAPE = 0x0D, 0x1B


class MainJob(unittest.TestCase):
    def setUp(self):
        artifacts = os.path.join(ARTIFACTS, self._testMethodName)
        shutil.rmtree(artifacts, ignore_errors=True)  # logs append; start each run afresh
        self.desk = Desktop(BIN, artifacts)
        self.desk.start("handset-sim.exe", "serve")
        wait_for(lambda: self.desk.run("handset-sim.exe", "status")[0] == 0, 10)

    def tearDown(self):
        self.desk.run("handset-sim.exe", "quit")
        self.desk.stop_all()
        # The next test starts with an empty tray.
        wait_for(lambda: self.desk.tray_status() == NO_ICON, 10)

    def start_softphone(self, *args):
        return self.desk.start_softphone(*args)

    def start_tandivorex(self):
        self.desk.start("Tandivorex.exe")

    def dial_and_check(self, log, number):
        before = len(log.keys())
        self.desk.sim("dial", number)
        self.desk.sim("key", "enter")
        expected = [ord(c) for c in number] + [VK_RETURN]
        self.assertTrue(wait_for(lambda: len(log.keys()) - before >= 2 * len(expected), 10),
                        f"keys received: {log.keys()[before:]}")
        keys = log.keys()[before:]
        self.assertEqual([(kind, vk) for kind, vk, _, _ in keys],
                         [(kind, vk) for vk in expected for kind in ("keydown", "keyup")])
        for kind, vk, lparam, _ in keys:
            self.assertEqual(KEY_LPARAM, lparam, f"{kind} {vk:#x}")
        for down, up in zip(keys[0::2], keys[1::2]):
            held = up[3] - down[3]
            self.assertTrue(80 <= held <= 400, f"key {down[1]:#x} held {held:.1f} ms")

    def test_neither_partner_no_handset_and_open_retried_each_second(self):
        self.start_tandivorex()
        self.desk.wait_tray(NO_HANDSET, keep_as="no-handset")
        self.desk.sim("commands", "--clear")
        time.sleep(3.5)
        self.assertEqual(NO_HANDSET, self.desk.tray_status())
        opens = [c for c in self.desk.sim_commands() if c == OPEN]
        self.assertTrue(3 <= len(opens) <= 5, f"{len(opens)} opens in 3.5 s")

    def test_plug_in_with_softphone_then_dial(self):
        _, log = self.start_softphone()
        self.start_tandivorex()
        self.desk.wait_tray(NO_HANDSET)
        self.desk.sim("plug")
        self.desk.wait_tray(CONNECTED, keep_as="connected")
        self.dial_and_check(log, "5551234")

    def test_unplug_and_plug_in_again(self):
        _, log = self.start_softphone()
        self.desk.sim("plug")
        self.start_tandivorex()
        self.desk.wait_tray(CONNECTED)
        self.desk.sim("commands", "--clear")

        self.desk.sim("unplug")
        self.desk.wait_tray(NO_HANDSET, keep_as="unplugged")
        self.assertIn(CLOSE, self.desk.sim_commands(), "the program closes the lost device")

        self.desk.sim("plug")
        self.desk.wait_tray(CONNECTED, keep_as="plugged-again")
        self.dial_and_check(log, "42")

    def test_softphone_closed_and_started_again(self):
        proc, _ = self.start_softphone()
        self.desk.sim("plug")
        self.start_tandivorex()
        self.desk.wait_tray(CONNECTED)

        proc.terminate()
        proc.wait(timeout=10)
        self.desk.wait_tray(NO_SOFTPHONE, keep_as="no-softphone")

        _, log = self.start_softphone()
        self.desk.wait_tray(CONNECTED)
        self.dial_and_check(log, "7")

    def test_rival_window_in_front_gets_escape_every_second(self):
        _, first = self.start_softphone()
        self.desk.sim("plug")
        self.start_tandivorex()
        self.desk.wait_tray(CONNECTED)

        _, rival = self.start_softphone("--pos", "300", "200")
        time.sleep(3.2)
        escapes = [k for k in rival.keys() if k[0] == "keydown" and k[1] == VK_ESCAPE]
        self.assertTrue(2 <= len(escapes) <= 4, f"rival got {len(escapes)} Escape presses")
        gaps = [b[3] - a[3] for a, b in zip(escapes, escapes[1:])]
        self.assertTrue(all(700 <= g <= 1400 for g in gaps), f"gaps {gaps}")
        self.assertEqual(CONNECTED, self.desk.tray_status())
        self.desk.screenshot("rival-in-front")
        self.assertFalse([k for k in first.keys() if k[1] == VK_ESCAPE],
                         "the recorded softphone gets no Escape")


if __name__ == "__main__":
    unittest.main(verbosity=2)
