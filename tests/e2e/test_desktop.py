"""End to end: Tandivorex.exe with the simulated handset and the stand-in
softphone as separate processes in the Wine desktop, used as a person would:
the tray read from screenshots (kept under the artefacts folder), the menu
opened and chosen from by real clicks."""

import os
import re
import shutil
import time
import unittest

from scripts.lib.desktop import WineDesktop, wait_for
from scripts.lib.outside import define
from scripts.lib.screen import CONNECTED, DARK_GREEN, NO_HANDSET, NO_ICON, NO_SOFTPHONE

BIN = os.environ["TANDIVOREX_BIN"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]

CLOSE = 0xFFFF
KEY_LPARAM = 0x0001C001
VK_RETURN = 0x0D
WM_PHONE_STATE = 0x0466
HKCU_RUN = "HKCU\\" + define("RUN_KEY")
AUTORUN = 1


class Program(unittest.TestCase):
    def setUp(self):
        artifacts = os.path.join(ARTIFACTS, self._testMethodName)
        shutil.rmtree(artifacts, ignore_errors=True)  # logs append; start each run afresh
        self.desk = self.enterContext(WineDesktop(BIN, artifacts, device=True))
        self.forget_run_value()
        self.addCleanup(self.forget_run_value)
        # Wine's ChangeWindowMessageFilterEx does nothing but say it was
        # called, on this channel.
        self.program = self.desk.start("Tandivorex.exe", wine_debug="-all,fixme+msg")

    # The Run key is one for both registry views: the 64-bit one serves either build.
    def forget_run_value(self):
        self.desk.reg(64, "delete", HKCU_RUN, "/v", "Tandivorex", "/f")

    def run_value(self):
        rc, out = self.desk.reg(64, "query", HKCU_RUN, "/v", "Tandivorex")
        return out.split("REG_SZ", 1)[1].strip() if rc == 0 and "REG_SZ" in out else None

    def test_each_status_has_its_picture_and_a_dialled_number_reaches_the_softphone(self):
        self.desk.wait_tray(NO_HANDSET, keep_as="no-handset")
        self.desk.sim("plug")
        self.desk.wait_tray(NO_SOFTPHONE, keep_as="no-softphone")
        _, log = self.desk.start_softphone()
        self.desk.wait_tray(CONNECTED, keep_as="connected")

        self.desk.sim("dial", "5551234")
        self.desk.sim("key", "enter")
        expected = [ord(c) for c in "5551234"] + [VK_RETURN]
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2 * len(expected), 10), log.keys())
        keys = log.keys()
        self.assertEqual([(kind, vk, KEY_LPARAM) for vk in expected for kind in ("keydown", "keyup")],
                         [(kind, vk, lparam) for kind, vk, lparam, _ in keys])
        for down, up in zip(keys[0::2], keys[1::2]):
            self.assertTrue(80 <= up[3] - down[3] <= 400, f"key {down[1]:#x} held {up[3] - down[3]:.1f} ms")

        self.desk.sim("unplug")
        self.desk.wait_tray(NO_HANDSET, keep_as="unplugged")
        self.assertIn(CLOSE, self.desk.sim_commands(), "the program closes the lost device")

    def test_a_softphone_started_again_while_the_handset_was_out_gets_the_keys(self):
        self.desk.wait_tray(NO_HANDSET)
        self.desk.sim("plug")
        first, log = self.desk.start_softphone()
        self.desk.wait_tray(CONNECTED)
        self.desk.sim("dial", "1")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 5), log.keys())

        self.desk.sim("unplug")
        self.desk.wait_tray(NO_HANDSET)
        first.terminate()
        first.wait(timeout=10)
        _, log = self.desk.start_softphone()
        self.desk.sim("plug")
        self.desk.wait_tray(CONNECTED, keep_as="second-softphone")
        self.desk.sim("dial", "7")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 5), f"the new softphone got {log.keys()}")
        time.sleep(1.5)  # a tick or two more, which would each have typed an Escape into it
        self.assertEqual([("keydown", ord("7")), ("keyup", ord("7"))], [(kind, vk) for kind, vk, _, _ in log.keys()])

    def test_lets_the_shell_and_phone_states_through_to_an_elevated_copy(self):
        self.desk.wait_tray(NO_HANDSET)
        # fixme:msg:ChangeWindowMessageFilterEx HWND MESSAGE ACTION INFO, in hex
        calls = re.findall(r"ChangeWindowMessageFilterEx (\w+) (\w+) (\w+) (\w+)", self.desk.output(self.program))
        windows = {int(hwnd, 16) for hwnd, _, _, _ in calls}
        messages = sorted(int(message, 16) for _, message, _, _ in calls)
        self.assertEqual(1, len(windows), f"not one window: {calls}")
        self.assertEqual(2, len(messages), f"not two messages: {calls}")
        self.assertEqual(WM_PHONE_STATE, messages[0])
        self.assertTrue(0xC000 <= messages[1] <= 0xFFFF, "the other is not a registered message (TaskbarCreated)")
        self.assertEqual({1}, {int(action, 16) for _, _, action, _ in calls}, "not MSGFLT_ALLOW")

    def test_tray_menu_autorun_about_and_exit(self):
        self.desk.wait_tray(NO_HANDSET)
        x, y = self.desk.tray_icon_centre()
        menu = self.desk.open_tray_menu(keep_as="menu")
        gap = max(menu.left - x, x - menu.right, menu.top - y, y - menu.bottom, 0)
        self.assertLessEqual(gap, 25, f"{menu} is not at the pointer {x},{y}")
        self.assertFalse(menu.marked(AUTORUN), "AutoRun checked with no Run value")
        # Where a person dismisses it: the bare desktop, clear of any item.
        self.desk.click(menu.before.width // 4, menu.before.height // 4)
        self.assertTrue(self.desk.menu_closed(menu), "a click elsewhere left the menu open")

        path = self.desk.run("winepath", "-w", self.desk.exe("Tandivorex.exe"), bits=64)[1].strip()
        self.desk.choose(self.desk.open_tray_menu(), "AutoRun")
        self.assertTrue(wait_for(self.run_value, 5), "no Run value after AutoRun was chosen")
        self.assertEqual(f'"{path}"', self.run_value())
        menu = self.desk.open_tray_menu(keep_as="menu-autorun-checked")
        self.assertTrue(menu.marked(AUTORUN), "no check mark at AutoRun while it is on")
        self.desk.choose(menu, "AutoRun")
        self.assertTrue(wait_for(lambda: self.run_value() is None, 5), "the Run value is still there")

        def about_icon(shot):
            # The application icon's dark green, away from the task bar.
            points = shot.find(DARK_GREEN, 0, shot.height - 40)
            return points[0] if len(points) >= 20 else None

        self.desk.choose(self.desk.open_tray_menu(), "About")
        self.assertTrue(wait_for(lambda: about_icon(self.desk.screenshot()), 5), "no About box")
        # A click in the box gives it the keyboard of the X display too.
        self.desk.click(*about_icon(self.desk.screenshot("about")))
        self.desk.key("Return")
        self.assertTrue(wait_for(lambda: not about_icon(self.desk.screenshot()), 5),
                        "Enter did not close the About box")

        self.desk.sim("commands", "--clear")
        self.desk.choose(self.desk.open_tray_menu(), "Exit")
        self.program.wait(timeout=10)
        self.desk.wait_tray(NO_ICON, keep_as="after-exit")
        self.assertEqual([CLOSE], [c for c in self.desk.sim_commands() if c == CLOSE])


if __name__ == "__main__":
    unittest.main(verbosity=2)
