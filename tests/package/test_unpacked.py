"""The 64-bit package as a person unpacks it: Tandivorex.exe run from an empty
folder holding the zip's files and the stand-in QVUSBTEL.dll from the
simulator zip starts, shows its status, finds the stand-in softphone, passes
one key on and leaves by its tray menu's Exit."""

import glob
import os
import shutil
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "lib"))
from desktop import CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE, Desktop, wait_for  # noqa: E402

DIST = os.environ["TANDIVOREX_DIST"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]


class Unpacked(unittest.TestCase):
    def setUp(self):
        zips = glob.glob(os.path.join(DIST, "Tandivorex-*-win64-test-only.zip"))
        (simulator,) = [z for z in zips if "-simulator-" in z]
        (program,) = [z for z in zips if z != simulator]
        self.folders = [tempfile.mkdtemp(), tempfile.mkdtemp()]
        with zipfile.ZipFile(program) as z:
            z.extractall(self.folders[0])
        with zipfile.ZipFile(simulator) as z:
            z.extract("QVUSBTEL.dll", self.folders[0])
            z.extractall(self.folders[1])
        shutil.rmtree(ARTIFACTS, ignore_errors=True)
        self.desk = Desktop(self.folders[0], ARTIFACTS)
        self.sim = Desktop(self.folders[1], ARTIFACTS)
        self.sim.start("handset-sim.exe", "serve")
        self.assertTrue(wait_for(lambda: self.sim.run("handset-sim.exe", "status")[0] == 0, 10))

    def tearDown(self):
        self.sim.run("handset-sim.exe", "quit")
        self.desk.stop_all()
        self.sim.stop_all()
        wait_for(lambda: self.desk.tray_status() == NO_ICON, 10)
        for folder in self.folders:
            shutil.rmtree(folder)

    def test_starts_connects_passes_a_key_and_leaves_by_exit(self):
        proc = self.desk.start("Tandivorex.exe")
        self.desk.wait_tray(NO_HANDSET, timeout=10, keep_as="no-handset")
        self.sim.sim("plug")
        self.desk.wait_tray(NO_SOFTPHONE)
        _, log = self.sim.start_softphone()
        self.desk.wait_tray(CONNECTED, keep_as="connected")
        self.sim.sim("dial", "7")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 5), f"softphone got {log.keys()}")
        self.assertEqual([("keydown", ord("7")), ("keyup", ord("7"))],
                         [(kind, vk) for kind, vk, _, _ in log.keys()])
        self.desk.choose(self.desk.open_tray_menu(), "Exit")
        proc.wait(timeout=10)
        self.desk.wait_tray(NO_ICON, keep_as="exited")


if __name__ == "__main__":
    unittest.main(verbosity=2)
