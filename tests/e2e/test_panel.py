"""End to end: the simulated handset's panel, clicked in the Wine desktop and read
through its controls, with the real Tandivorex between it and the softphone."""

import os
import shutil
import unittest

from scripts.lib.desktop import (PANEL, PANEL_COMMANDS, PANEL_LAMP_NAME, PANEL_STATUS, WineDesktop,
                                 wait_for)
from scripts.lib.screen import CONNECTED

VK_RETURN, VK_DIVIDE = 0x0D, 0x6F


class Panel(unittest.TestCase):
    def setUp(self):
        artifacts = os.path.join(os.environ["TANDIVOREX_ARTIFACTS"], "panel")
        shutil.rmtree(artifacts, ignore_errors=True)
        # No device: the panel starts one, which the desktop ends with the rest.
        self.desk = self.enterContext(WineDesktop(os.environ["TANDIVOREX_BIN"], artifacts))

    def test_clicks_reach_the_softphone_and_commands_light_the_lamp(self):
        desk = self.desk
        desk.start("handset-panel.exe")  # no device runs: the panel starts one, unplugged
        desk.wait_control(PANEL, PANEL_STATUS, "Unplugged")
        _, log = desk.start_softphone("--pos", "40", "150")
        desk.start("Tandivorex.exe")
        desk.click_control(PANEL, "Plug in")
        desk.wait_tray(CONNECTED)
        desk.wait_control(PANEL, PANEL_STATUS, "Plugged in, open")

        desk.click_control(PANEL, "5", "#", "Enter")
        wait_for(lambda: len(log.keys()) >= 6, 10)
        self.assertEqual([ord("5"), VK_DIVIDE, VK_RETURN],
                         [vk for kind, vk, _, _ in log.keys() if kind == "keydown"])

        desk.run("phonestate.exe", "258")
        desk.wait_control(PANEL, PANEL_LAMP_NAME, "ringing")
        self.assertRegex(desk.control_texts(PANEL, PANEL_COMMANDS)[0],
                         r"^\d\d:\d\d:\d\d\.\d{3}  0x1004  ringing$")
        desk.screenshot("ringing")

        # A device that goes away, and another in its place with a history of its own.
        desk.sim("quit")
        desk.wait_control(PANEL, PANEL_STATUS, "No device")
        desk.start("handset-sim.exe", "serve")
        desk.wait_control(PANEL, PANEL_STATUS, "Unplugged")
        self.assertFalse([r for r in desk.control_texts(PANEL, PANEL_COMMANDS) if "0x1004" in r])


if __name__ == "__main__":
    unittest.main(verbosity=2)
