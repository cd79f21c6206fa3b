"""End to end: the tray menu, auto-start, About, Exit and phone states of the
real Tandivorex.exe, used as a person would (clicks and keys in the Wine
desktop), with the simulated handset and the stand-in softphone as separate
processes. Screenshots are kept under the artefacts folder."""

import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "lib"))
from desktop import (CONNECTED, DARK_GREEN, NO_HANDSET, NO_ICON, NO_SOFTPHONE,  # noqa: E402
                     Desktop, find_popup_menu, wait_for)

BIN = os.environ["TANDIVOREX_BIN"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]

OPEN, CLOSE = 0x0000, 0xFFFF
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
HKCU_RUN = "HKCU\\" + RUN_KEY
REG_SZ = 1
ABOUT, AUTORUN, EXIT = 0, 1, 2
IDOK, IDCANCEL = 1, 2


class TrayMenu(unittest.TestCase):
    def setUp(self):
        artifacts = os.path.join(ARTIFACTS, self._testMethodName)
        shutil.rmtree(artifacts, ignore_errors=True)
        self.desk = Desktop(BIN, artifacts)
        self.delete_run_value()
        self.desk.start("handset-sim.exe", "serve")
        self.assertTrue(wait_for(lambda: self.desk.run("handset-sim.exe", "status")[0] == 0, 10),
                        "the simulated handset did not start")

    def tearDown(self):
        self.desk.run("handset-sim.exe", "quit")
        self.desk.stop_all()
        self.delete_run_value()
        wait_for(lambda: self.desk.tray_status() == NO_ICON, 10)

    # Helpers ---------------------------------------------------------------

    def delete_run_value(self):
        self.desk.wine("reg", "delete", HKCU_RUN, "/v", "Tandivorex", "/f")

    def start_tandivorex(self, status):
        proc = self.desk.start("Tandivorex.exe")
        self.desk.wait_tray(status, timeout=10)
        return proc

    def start_softphone(self, *args):
        return self.desk.start_softphone(*args)

    def assert_ends(self, proc, how):
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.fail(f"Tandivorex still runs 10 s after {how}")
        self.desk.wait_tray(NO_ICON, timeout=6, keep_as=f"after-{how}")

    def close_menu(self, menu):
        # Where a person dismisses it: the bare desktop, clear of any item.
        self.desk.click(menu.before.width // 4, menu.before.height // 4)
        self.assertTrue(self.desk.menu_closed(menu), "a click elsewhere left the menu open")

    def run_value(self):
        """What "reg query" shows of our Run value: (type, data), or None."""
        rc, out = self.desk.wine("reg", "query", HKCU_RUN, "/v", "Tandivorex")
        if rc != 0:
            return None
        fields = [line.split(None, 2) for line in out.splitlines()
                  if line.split(None, 1)[:1] == ["Tandivorex"]]
        self.assertEqual(1, len(fields), out)
        return fields[0][1], fields[0][2] if len(fields[0]) > 2 else ""

    def states(self, *pairs):
        """Sends each state with phonestate; checks each printed answer."""
        for state, answer in pairs:
            rc, out = self.desk.run("phonestate.exe", str(state))
            self.assertEqual((0, str(answer)), (rc, out.strip()), f"phonestate {state}")

    # Tests -----------------------------------------------------------------

    def test_right_click_opens_the_menu_left_click_nothing_and_a_click_elsewhere_closes_it(self):
        self.start_tandivorex(NO_HANDSET)
        x, y = self.desk.tray_icon_centre()

        before = self.desk.screenshot("before-left-click")
        self.desk.click(x, y, 1)
        opened = wait_for(lambda: find_popup_menu(before, self.desk.screenshot()), 1.5)
        self.desk.screenshot("after-left-click")
        self.assertIsNone(opened, "a left click on the icon opened something")

        menu = self.desk.open_tray_menu(keep_as="menu")
        # At the pointer, or moved up just enough to clear the task bar.
        gap = max(menu.left - x, x - menu.right, menu.top - y, y - menu.bottom, 0)
        self.assertLessEqual(gap, 25, f"{menu} is not at the pointer {x},{y}")
        self.assertFalse(menu.marked(AUTORUN), "AutoRun checked with no Run value")
        self.close_menu(menu)
        self.desk.screenshot("menu-closed")

        # Opened again, it stays open until dismissed: nothing left over from
        # the first one closes it.
        menu = self.desk.open_tray_menu()
        self.assertFalse(self.desk.menu_closed(menu, timeout=1.5), "the second menu closed by itself")
        self.close_menu(menu)
        self.assertEqual(NO_HANDSET, self.desk.tray_status())

    def test_autorun_writes_the_run_value_checks_the_item_and_removes_it_again(self):
        self.start_tandivorex(NO_HANDSET)
        path = subprocess.run(["winepath", "-w", self.desk.exe("Tandivorex.exe")], capture_output=True,
                              text=True, stdin=subprocess.DEVNULL).stdout.strip()
        self.assertTrue(path.endswith("\\Tandivorex.exe"), path)

        menu = self.desk.open_tray_menu(keep_as="menu-autorun-unchecked")
        self.assertFalse(menu.marked(AUTORUN))
        self.desk.choose(menu, "AutoRun")
        self.assertTrue(self.desk.menu_closed(menu), "the menu stayed open after a choice")

        self.assertTrue(wait_for(self.run_value, 5), "no Run value after AutoRun was chosen")
        self.assertEqual(("REG_SZ", f'"{path}"'), self.run_value())
        rc, out = self.desk.run("reg_value.exe", RUN_KEY, "Tandivorex")
        self.assertEqual(0, rc, out)
        fields = dict(f.split("=", 1) for f in out.split())
        command = f'"{path}"'.encode()
        self.assertEqual((str(REG_SZ), "260"), (fields["type"], fields["size"]))
        self.assertEqual(command + bytes(260 - len(command)), bytes.fromhex(fields["data"]))

        menu = self.desk.open_tray_menu(keep_as="menu-autorun-checked")
        self.assertTrue(menu.marked(AUTORUN), "no check mark at AutoRun while it is on")
        self.assertFalse(menu.marked(ABOUT) or menu.marked(EXIT), "a mark at another item")
        self.desk.choose(menu, "AutoRun")
        self.assertTrue(wait_for(lambda: self.run_value() is None, 5),
                        f"the Run value is still there: {self.run_value()}")

        menu = self.desk.open_tray_menu(keep_as="menu-autorun-off")
        self.assertFalse(menu.marked(AUTORUN), "the check mark stayed after AutoRun went off")
        self.close_menu(menu)
        self.assertIsNone(self.run_value(), "closing the menu changed the Run value")

    def test_a_run_value_already_there_decides_the_check_mark_at_start(self):
        cases = [
            ("another program", ["/t", "REG_SZ", "/d", r"C:\other.exe"], True),
            ("a number", ["/t", "REG_DWORD", "/d", "5"], True),
            ("an empty string", ["/t", "REG_SZ", "/d", ""], False),
        ]
        for name, data, checked in cases:
            with self.subTest(name):
                rc, out = self.desk.wine("reg", "add", HKCU_RUN, "/v", "Tandivorex", *data, "/f")
                self.assertEqual(0, rc, out)
                proc = self.start_tandivorex(NO_HANDSET)
                menu = self.desk.open_tray_menu(keep_as=f"menu-at-start-{name.replace(' ', '-')}")
                self.assertEqual(checked, menu.marked(AUTORUN), f"check mark with {name}")
                if checked:
                    # On at start, so the first choice turns it off.
                    self.desk.choose(menu, "AutoRun")
                    self.assertTrue(wait_for(lambda: self.run_value() is None, 5),
                                    f"{name}: still there: {self.run_value()}")
                else:
                    self.close_menu(menu)
                proc.terminate()
                proc.wait(timeout=10)
                self.desk.wait_tray(NO_ICON, timeout=10)
                self.delete_run_value()

    def test_about_box_shows_while_the_handset_keeps_working_and_enter_closes_it(self):
        _, log = self.start_softphone("--pos", "20", "20")
        self.desk.sim("plug")
        self.start_tandivorex(CONNECTED)

        def about_icon(shot):
            # The application icon's dark green, away from the task bar.
            points = shot.find(DARK_GREEN, 0, shot.height - 40)
            return points[0] if len(points) >= 20 else None

        before = self.desk.screenshot("before-about")
        self.assertFalse(about_icon(before), "dark green on the desktop before About")
        self.desk.choose(self.desk.open_tray_menu(), "About")
        self.assertTrue(wait_for(lambda: about_icon(self.desk.screenshot()), 5), "no About box")
        shot = self.desk.screenshot("about")
        icon = about_icon(shot)
        left, top, right, bottom = next(box for box in shot.changed_areas(before)
                                        if box[0] <= icon[0] <= box[2] and box[1] <= icon[1] <= box[3])
        centre_x, centre_y = (left + right) / 2, (top + bottom) / 2
        self.assertLessEqual(abs(centre_x - shot.width / 2), 10, f"box at {left},{top}-{right},{bottom}")
        self.assertLessEqual(abs(centre_y - shot.height / 2), 25, f"box at {left},{top}-{right},{bottom}")

        # The modal box must not stall the program: a handset key gets through.
        self.desk.sim("dial", "5")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 5), f"softphone got {log.keys()}")
        self.assertEqual([("keydown", ord("5")), ("keyup", ord("5"))],
                         [(kind, vk) for kind, vk, _, _ in log.keys()])
        # Nor its timers: the handset, pulled out and back, is opened again.
        self.desk.sim("unplug")
        self.desk.wait_tray(NO_HANDSET)
        self.desk.sim("plug")
        self.desk.wait_tray(CONNECTED)
        self.assertTrue(about_icon(self.desk.screenshot("about-after-key")), "the About box went")

        # The key brought the softphone forward; a click on the box's caption
        # gives it back the keyboard.
        self.desk.click((left + right) // 2, top + 10)
        self.desk.key("Return")
        self.assertTrue(wait_for(lambda: not about_icon(self.desk.screenshot()), 5),
                        "Enter did not close the About box")
        self.desk.screenshot("about-closed")
        self.assertEqual(CONNECTED, self.desk.tray_status())
        # The program still relays keys, and the Enter was the box's alone.
        self.desk.sim("dial", "6")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 4, 5), f"softphone got {log.keys()}")
        self.assertEqual([(kind, ord(c)) for c in "56" for kind in ("keydown", "keyup")],
                         [(kind, vk) for kind, vk, _, _ in log.keys()])

    def test_exit_closes_the_handset_library_and_ends_the_program(self):
        cases = [("never-opened", False, NO_HANDSET), ("open", True, NO_SOFTPHONE)]
        for name, plugged, status in cases:
            with self.subTest(name):
                if plugged:
                    self.desk.sim("plug")
                proc = self.start_tandivorex(status)
                self.assertEqual("plugged open" if plugged else "unplugged closed",
                                 self.desk.sim("status").strip())
                self.desk.sim("commands", "--clear")
                self.desk.choose(self.desk.open_tray_menu(), "Exit")
                self.assert_ends(proc, f"exit-{name}")
                commands = self.desk.sim_commands()
                self.assertEqual(CLOSE, commands[-1] if commands else None,
                                 f"commands: {[hex(c) for c in commands]}")
                self.assertEqual(1, commands.count(CLOSE))
                self.assertTrue(set(commands) <= {OPEN, CLOSE}, [hex(c) for c in commands])
                self.assertTrue(self.desk.sim("status").strip().endswith(" closed"))

    def test_ok_and_cancel_end_the_program_without_closing_the_library(self):
        self.desk.sim("plug")
        for name, command in (("ok", IDOK), ("cancel", IDCANCEL)):
            with self.subTest(name):
                proc = self.start_tandivorex(NO_SOFTPHONE)
                self.assertEqual("plugged open", self.desk.sim("status").strip())
                self.desk.sim("commands", "--clear")
                rc, out = self.desk.run("post_command.exe", str(command))
                self.assertEqual(0, rc, out)
                self.assert_ends(proc, name)
                commands = self.desk.sim_commands()
                self.assertNotIn(CLOSE, commands, [hex(c) for c in commands])
                rc, out = self.desk.run("post_command.exe", str(command))
                self.assertEqual(1, rc, out)
                self.assertIn("no window", out)

    def test_phone_states_become_handset_commands_once_each(self):
        self.start_tandivorex(NO_HANDSET)
        self.desk.sim("commands", "--clear")

        def sent():
            # Unplugged, the program retries opening every second; those do not count.
            commands = [f"0x{c:04X}" for c in self.desk.sim_commands() if c != OPEN]
            self.desk.sim("commands", "--clear")
            return commands

        # Nothing relayed yet: "none" itself is already the state.
        self.states((256, 256))
        self.assertEqual([], sent())

        # Unplugged, the command still goes out and the device answers 0.
        self.states((258, 0), (258, 258))
        self.assertEqual(["0x1004"], sent())

        self.desk.sim("plug")
        self.desk.wait_tray(NO_SOFTPHONE)
        sent()
        self.states((259, 1), (258, 258), (259, 1),
                    (257, 1), (257, 257), (260, 1), (261, 1), (262, 1),
                    (263, 1), (264, 1), (264, 264), (263, 1))
        self.assertEqual(["0x1004", "0x1004", "0x1001", "0x1005", "0x1006", "0x1003", "0x1001",
                          "0x1001", "0x1001"], sent())

        self.states((300, 43), (256, -1), (265, 8), (0, -257), (-1, -258), (263, 263))
        self.assertEqual([], sent(), "unknown states or a repeat sent something")

        # Found, the softphone's window resets the state: the same one goes again.
        phone, _ = self.start_softphone()
        self.desk.wait_tray(CONNECTED)
        self.states((256, 256), (258, 1), (258, 258))
        self.assertEqual(["0x1004"], sent())

        phone.terminate()
        phone.wait(timeout=10)
        self.desk.wait_tray(NO_SOFTPHONE)
        self.states((258, 258))
        self.assertEqual([], sent(), "the state was forgotten when the softphone went")

        self.start_softphone()
        self.desk.wait_tray(CONNECTED, keep_as="softphone-again")
        self.states((258, 1), (258, 258))
        self.assertEqual(["0x1004"], sent())


if __name__ == "__main__":
    unittest.main(verbosity=2)
