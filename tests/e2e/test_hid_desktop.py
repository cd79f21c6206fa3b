"""End to end with the HID edition: the unchanged Tandivorex.exe with our HID
QVUSBTEL.dll beside it, the virtual USB phone in Wine's own HID stack (its
minidriver under hidclass.sys, read through hid.dll and SetupAPI), the
stand-in softphone and the tray, read from screenshots."""

import os
import shutil
import unittest

from scripts.lib.desktop import WineDesktop, wait_for
from scripts.lib.screen import CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE

BIN = os.environ["TANDIVOREX_BIN"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]
HID_DLL = os.path.join(BIN, os.pardir, "hid", "QVUSBTEL.dll")

VK_RETURN, VK_ESCAPE = 0x0D, 0x1B
# The "keypad" model's report 2 as Wine's parser lays it out (hid.dll's
# HidP_SetUsages builds these in the unit tests): the key pad's array from
# bit 0, Phone Key 0 as 1, 0 for none. Its lamps are in output report 2,
# Off-Hook at bit 0 and Ring at bit 2 of the first byte.
KEY_5, KEY_7, KEYPAD_IDLE = "02 06 00", "02 08 00", "02 00 00"
# The "headset-ids" model's report 2: the hook switch at bit 1.
HOOK_OFF, HOOK_ON = "02 02 00", "02 00 00"


class HidEdition(unittest.TestCase):
    def setUp(self):
        artifacts = os.path.join(ARTIFACTS, "hid", self._testMethodName)
        shutil.rmtree(artifacts, ignore_errors=True)
        # The program's own folder holds the HID edition, as a user would have it.
        program = os.path.join(artifacts, "program")
        os.makedirs(program)
        shutil.copy(os.path.join(BIN, "Tandivorex.exe"), program)
        shutil.copy(HID_DLL, program)
        self.desk = self.enterContext(WineDesktop([program, BIN], artifacts))
        self.phone("install")
        self.addCleanup(self.desk.run, "hid-phone.exe", "unplug")
        self.program = self.desk.start("Tandivorex.exe")

    def phone(self, *args):
        rc, out = self.desk.run("hid-phone.exe", *args)
        if rc != 0:
            raise AssertionError(f"hid-phone {' '.join(args)} failed ({rc}): {out}")
        return out

    def outputs(self):
        return [bytes.fromhex(line) for line in self.phone("outputs").splitlines() if line.strip()]

    def plugged_with_softphone(self, model):
        self.desk.wait_tray(NO_HANDSET, keep_as="no-handset")
        self.phone("plug", model)
        self.desk.wait_tray(NO_SOFTPHONE)
        _, log = self.desk.start_softphone()
        self.desk.wait_tray(CONNECTED, keep_as="connected")
        return log

    def key_downs(self, log):
        return [vk for kind, vk, _, _ in log.keys() if kind == "keydown"]

    def test_key_ring_lamp_unplug_and_exit(self):
        log = self.plugged_with_softphone("keypad")
        self.phone("input", KEY_5)
        self.phone("input", KEYPAD_IDLE)
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 10), log.keys())
        self.assertEqual([("keydown", ord("5")), ("keyup", ord("5"))], [(k, vk) for k, vk, _, _ in log.keys()])

        self.outputs()
        self.assertEqual(0, self.desk.run("phonestate.exe", "258")[0])
        lamps = self.outputs()
        self.assertTrue(any(r[0] == 2 and r[1] & 0x04 for r in lamps), f"no report with Ring set: {lamps}")

        self.phone("unplug")
        self.desk.wait_tray(NO_HANDSET, keep_as="unplugged")
        self.phone("plug", "keypad")
        self.desk.wait_tray(CONNECTED, keep_as="plugged-again")
        self.phone("input", KEY_7)
        self.phone("input", KEYPAD_IDLE)
        self.assertTrue(wait_for(lambda: ord("7") in self.key_downs(log), 10), log.keys())

        # Exit closes the device: the lamp lit for the call goes out with it.
        self.assertEqual(0, self.desk.run("phonestate.exe", "260")[0])
        self.assertTrue(any(r[0] == 2 and r[1] & 0x01 for r in self.outputs()), "talking lit no Off-Hook lamp")
        self.desk.choose(self.desk.open_tray_menu(), "Exit")
        self.program.wait(timeout=10)
        self.desk.wait_tray(NO_ICON, keep_as="after-exit")
        self.assertEqual([b"\x02\x00\x00"], [r[:3] for r in self.outputs()], "the lamps were not put out on close")

    def test_lifting_the_hook_while_ringing_answers(self):
        log = self.plugged_with_softphone("headset-ids")
        self.assertEqual(0, self.desk.run("phonestate.exe", "258")[0])
        self.phone("input", HOOK_OFF)
        self.assertTrue(wait_for(lambda: VK_RETURN in self.key_downs(log), 10), log.keys())
        self.phone("input", HOOK_ON)
        self.assertTrue(wait_for(lambda: VK_ESCAPE in self.key_downs(log), 10), log.keys())
        self.assertEqual([VK_RETURN, VK_ESCAPE], self.key_downs(log))


if __name__ == "__main__":
    unittest.main(verbosity=2)
