"""A build's package as a person unpacks it (for win32, the download itself):
Tandivorex.exe, run from an empty folder holding the zip's files and the
stand-in QVUSBTEL.dll of the same build's simulator zip, starts, shows its
status, finds the stand-in softphone, passes one key on and leaves by its tray
menu's Exit."""

import glob
import os
import shutil
import tempfile
import unittest
import zipfile

from scripts.lib.desktop import WineDesktop, wait_for
from scripts.lib.screen import CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE

DIST = os.environ["TANDIVOREX_DIST"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]
# The zips' names end in the build's tag; only win32 is for users.
TAG = {"win32": "win32", "win64": "win64-test-only"}[os.environ["TANDIVOREX_BUILD"]]


class Unpacked(unittest.TestCase):
    def test_starts_connects_passes_a_key_and_leaves_by_exit(self):
        zips = glob.glob(os.path.join(DIST, f"Tandivorex-*-{TAG}.zip"))
        (simulator,) = [z for z in zips if "-simulator-" in z]
        (program,) = [z for z in zips if "-simulator-" not in z and "-hid-" not in z]
        top = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, top)
        folder, sim_folder = os.path.join(top, "Tandivorex"), os.path.join(top, "simulator")
        with zipfile.ZipFile(program) as p, zipfile.ZipFile(simulator) as s:
            p.extractall(folder)
            s.extractall(sim_folder)
        shutil.copy(os.path.join(sim_folder, "QVUSBTEL.dll"), folder)
        shutil.rmtree(ARTIFACTS, ignore_errors=True)
        # The program from its own folder, the simulator from the other.
        desk = self.enterContext(WineDesktop([folder, sim_folder], ARTIFACTS, device=True))
        proc = desk.start("Tandivorex.exe")
        desk.wait_tray(NO_HANDSET, timeout=10, keep_as="no-handset")
        desk.sim("plug")
        desk.wait_tray(NO_SOFTPHONE)
        _, log = desk.start_softphone()
        desk.wait_tray(CONNECTED, keep_as="connected")
        desk.sim("dial", "7")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 5), f"softphone got {log.keys()}")
        self.assertEqual([("keydown", ord("7")), ("keyup", ord("7"))],
                         [(kind, vk) for kind, vk, _, _ in log.keys()])
        desk.choose(desk.open_tray_menu(), "Exit")
        proc.wait(timeout=10)
        desk.wait_tray(NO_ICON, keep_as="exited")


if __name__ == "__main__":
    unittest.main(verbosity=2)
