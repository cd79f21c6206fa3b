"""A build's MSI (for win32, the download itself) under Wine's msiexec, in one
session whose steps follow each other as on a desk: an older release
(built here with a lower version and a marked README) installed silently
with AUTORUN=1 and started; the release upgrading it while it runs, and the
older one then refused; the installed program with the simulated handset;
the uninstall, which ends it; and a Run value pointed elsewhere, which an
uninstall leaves. The maker's library is not in the package: the stand-in
QVUSBTEL.dll stays in a folder of the DLL search path (Wine's WINEPATH), as
the maker's installer may put it."""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

from scripts.lib.desktop import WineDesktop, wait_for
from scripts.lib.outside import define
from scripts.lib.screen import CONNECTED, NO_HANDSET, NO_ICON, NO_SOFTPHONE
from scripts.lib.session import wine_loader

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DIST = os.environ["TANDIVOREX_DIST"]
BIN = os.environ["TANDIVOREX_BIN"]
ARTIFACTS = os.environ["TANDIVOREX_ARTIFACTS"]
TAG = {"win32": "win32", "win64": "win64-test-only"}[os.environ["TANDIVOREX_BUILD"]]
# The build's bitness: its MSI's msiexec, and the registry view its package
# writes the uninstall entry to.
BITS = {"win32": 32, "win64": 64}[os.environ["TANDIVOREX_BUILD"]]
RUN_KEY = define("RUN_KEY")
APPROVED_KEY = define("STARTUP_APPROVED_KEY")
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall"
SWITCHED_OFF = "030000000000000000000000"  # as Task Manager leaves it
FILES = ["LICENSE.txt", "README.txt", "Tandivorex.exe", "phonestate.exe"]


def msi_property(msi, name):
    table = subprocess.run(["msiinfo", "export", msi, "Property"], check=True,
                           capture_output=True, text=True).stdout
    return dict(row.rstrip("\r").split("\t", 1) for row in table.splitlines()[3:])[name]


def failing_uninstall(msi, out):
    """A copy of the MSI whose uninstall fails just after RemoveAutoRun when
    FAILAFTERREMOVE is set: a deferred action, WriteAutoRun given (as its
    CustomActionData) a path too long for the Run value."""
    shutil.copy(msi, out)
    with tempfile.TemporaryDirectory() as folder:
        for name, row in (("CustomAction", "FAILAFTERREMOVE\t1025\tMsiActions\tWriteAutoRun\t"),
                          ("InstallExecuteSequence", 'FAILAFTERREMOVE\tFAILAFTERREMOVE AND REMOVE~="ALL"\t1512')):
            table = subprocess.run(["msiinfo", "export", out, name], check=True, capture_output=True,
                                   text=True).stdout
            with open(os.path.join(folder, name + ".idt"), "w", newline="") as f:
                f.write(table.rstrip("\r\n") + "\r\n" + row + "\r\n")
            subprocess.run(["msibuild", out, "-i", os.path.join(folder, name + ".idt")], check=True)


def older_version(version):
    """The version just below, in the last field that can go down."""
    fields = [int(f) for f in version.split(".")]
    last = max(i for i, f in enumerate(fields) if f > 0)
    fields[last] -= 1
    return ".".join(map(str, fields))


class InstallSession(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp()
        cls.addClassCleanup(shutil.rmtree, cls.top, ignore_errors=True)
        (cls.msi,) = glob.glob(os.path.join(DIST, f"Tandivorex-*-{TAG}.msi"))
        zips = glob.glob(os.path.join(DIST, f"Tandivorex-*-{TAG}.zip"))
        (simulator,) = [z for z in zips if "-simulator-" in z]
        (program,) = [z for z in zips if "-simulator-" not in z and "-hid-" not in z]
        cls.shipped = os.path.join(cls.top, "shipped")
        sim_folder = os.path.join(cls.top, "simulator")
        maker = os.path.join(cls.top, "maker")
        with zipfile.ZipFile(program) as p, zipfile.ZipFile(simulator) as s:
            p.extractall(cls.shipped)
            s.extractall(sim_folder)
        os.makedirs(maker)
        shutil.copy(os.path.join(sim_folder, "QVUSBTEL.dll"), maker)
        os.environ["WINEPATH"] = "Z:" + maker.replace("/", "\\")

        shutil.rmtree(ARTIFACTS, ignore_errors=True)
        local, roaming = (cls.windows_path(v) for v in ("%LOCALAPPDATA%", "%APPDATA%"))
        cls.install_dir = local + r"\Programs\Tandivorex"
        cls.installed = cls.install_dir + r"\Tandivorex.exe"
        cls.folder = cls.unix_path(cls.install_dir)
        cls.shortcut = cls.unix_path(roaming + r"\Microsoft\Windows\Start Menu\Programs\Tandivorex.lnk")
        # The installed program (each test that starts it has checked it is
        # there), the simulator's programs, and this build's
        # registry_value.exe. The handset is served from the start, unplugged.
        cls.desk = cls.enterClassContext(WineDesktop([cls.folder, sim_folder, BIN], ARTIFACTS, device=True))
        cls.addClassCleanup(cls.remove_what_is_left)
        cls.version = msi_property(cls.msi, "ProductVersion")
        cls.product = msi_property(cls.msi, "ProductCode")
        cls.old_version = older_version(cls.version)
        cls.old_msi = os.path.join(cls.top, "older.msi")
        cls.old_readme = os.path.join(cls.top, "README.txt")
        with open(os.path.join(ROOT, "package", "README.txt")) as f, open(cls.old_readme, "w") as out:
            out.write(f.read() + "\nThe older release.\n")
        subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "lib", "make_msi.py"), cls.old_msi, BIN,
                        cls.old_version, "x86" if TAG == "win32" else "x64", "--readme", cls.old_readme],
                       check=True, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
        cls.old_product = msi_property(cls.old_msi, "ProductCode")

    @classmethod
    def remove_what_is_left(cls):
        # Before the desktop ends: an uninstall ends the copy an upgrade started.
        for msi in (cls.msi, cls.old_msi):
            cls.msiexec("/x", msi)
        cls.desk.reg(BITS, "delete", "HKCU\\" + RUN_KEY, "/v", "Tandivorex", "/f")
        cls.desk.reg(BITS, "delete", "HKCU\\" + APPROVED_KEY, "/v", "Tandivorex", "/f")

    # Helpers ---------------------------------------------------------------

    @staticmethod
    def wine_output(*command):
        """What a program of Wine's own prints. Never through a pipe: the first
        process of a session starts Wine's services, which would keep it open."""
        with tempfile.TemporaryFile() as out:
            subprocess.run([wine_loader(64), *command], check=True, stdin=subprocess.DEVNULL, stdout=out,
                           timeout=30)
            out.seek(0)
            return out.read().decode(errors="replace").strip()

    @classmethod
    def windows_path(cls, variable):
        return cls.wine_output("cmd", "/c", "echo", variable)

    @classmethod
    def unix_path(cls, path):
        return cls.wine_output("winepath", "-u", path)

    @classmethod
    def msiexec(cls, option, msi, *properties):
        """Silent, with a verbose log; the exit code as Linux keeps it (its low byte)."""
        log = os.path.join(ARTIFACTS, f"msiexec-{len(os.listdir(ARTIFACTS))}.log")
        return cls.desk.run("msiexec", option, "Z:" + msi.replace("/", "\\"), *properties, "/qn",
                             "/l*v", "Z:" + log.replace("/", "\\"), timeout=60, bits=BITS)[0]

    def value(self, key, name):
        """(type, data as bytes) of a value under HKCU, or None."""
        rc, out = self.desk.run("registry_value.exe", key, name)
        if rc != 0:
            return None
        kind, _, data = (out.split() + [""])[:3]
        return int(kind), bytes.fromhex(data)

    def set_value(self, key, name, kind, data):
        self.assertEqual(0, self.desk.reg(BITS, "add", "HKCU\\" + key, "/v", name, "/t", kind, "/d", data, "/f")[0])

    def uninstall_entries(self):
        """Our product codes among the uninstall keys: Wine writes a per-user
        product's under HKLM, Windows keeps it with the user's."""
        codes = {}
        for root in ("HKCU", "HKLM"):
            for code in (self.product, self.old_product):
                rc, out = self.desk.reg(BITS, "query", f"{root}\\{UNINSTALL_KEY}\\{code}")
                if rc == 0:
                    codes[code] = dict(line.split(None, 2)[::2] for line in out.splitlines()
                                       if "REG_" in line and len(line.split(None, 2)) == 3)
        return codes

    def assert_run_value_starts_the_installed_program(self):
        # The menu's form: the quoted path, its NUL, zeros to 260 characters.
        expected = f'"{self.installed}"'.encode("utf-16-le").ljust(520, b"\0")
        self.assertEqual((1, expected), self.value(RUN_KEY, "Tandivorex"))  # REG_SZ

    def assert_installed_release(self, version, readme):
        self.assertEqual(FILES, sorted(os.listdir(self.folder)))
        with open(os.path.join(self.folder, "README.txt"), "rb") as f, open(readme, "rb") as expected:
            self.assertEqual(expected.read().replace(b"\r\n", b"\n"), f.read().replace(b"\r\n", b"\n"))
        self.assertTrue(os.path.isfile(self.shortcut), "no Start-menu shortcut")
        entries = self.uninstall_entries()
        self.assertEqual(1, len(entries), f"Apps & features entries: {entries}")
        (entry,) = entries.values()
        self.assertEqual(("Tandivorex", version, "The Tandivorex developers"),
                         (entry["DisplayName"], entry["DisplayVersion"], entry["Publisher"]))
        self.assertEqual(self.install_dir + "\\", entry["InstallLocation"])

    # The session, in order -------------------------------------------------

    def test_1_older_release_installs_silently_for_the_user_with_autorun(self):
        self.set_value(APPROVED_KEY, "Tandivorex", "REG_BINARY", SWITCHED_OFF)
        self.assertEqual(0, self.msiexec("/i", self.old_msi, "AUTORUN=1"))
        self.assert_installed_release(self.old_version, self.old_readme)
        self.assert_run_value_starts_the_installed_program()
        self.assertIsNone(self.value(APPROVED_KEY, "Tandivorex"), "AUTORUN=1 left Task Manager's switch-off")
        InstallSession.older = self.desk.start("Tandivorex.exe")
        self.desk.wait_tray(NO_HANDSET, timeout=10, keep_as="older-running")

    def test_2_upgrade_replaces_the_running_release_and_keeps_autorun_as_it_was(self):
        self.set_value(APPROVED_KEY, "Tandivorex", "REG_BINARY", SWITCHED_OFF)
        self.assertEqual(0, self.msiexec("/i", self.msi))
        self.older.wait(timeout=10)  # asked to exit, before its files went
        self.assert_installed_release(self.version, os.path.join(self.shipped, "README.txt"))
        with open(os.path.join(self.folder, "Tandivorex.exe"), "rb") as f, \
                open(os.path.join(self.shipped, "Tandivorex.exe"), "rb") as shipped:
            self.assertEqual(shipped.read(), f.read())
        self.assert_run_value_starts_the_installed_program()
        self.assertEqual((3, bytes.fromhex(SWITCHED_OFF)), self.value(APPROVED_KEY, "Tandivorex"))
        # The copy the upgrade ended comes back, as the new release.
        self.desk.wait_tray(NO_HANDSET, timeout=10, keep_as="upgraded-running")

        # The older release over the newer one, by the fourth field alone: refused.
        self.assertNotEqual(0, self.msiexec("/i", self.old_msi))
        self.assert_installed_release(self.version, os.path.join(self.shipped, "README.txt"))

    def test_3_installed_program_connects_and_passes_a_key(self):
        self.desk.sim("plug")
        self.desk.wait_tray(NO_SOFTPHONE, timeout=10)
        _, log = self.desk.start_softphone()
        self.desk.wait_tray(CONNECTED, keep_as="installed-connected")
        self.desk.sim("dial", "7")
        self.assertTrue(wait_for(lambda: len(log.keys()) >= 2, 5), f"softphone got {log.keys()}")
        self.assertEqual([("keydown", ord("7")), ("keyup", ord("7"))], [(k, vk) for k, vk, _, _ in log.keys()])

    def test_4_uninstall_ends_the_program_and_leaves_nothing_of_ours(self):
        self.assertEqual("plugged open", self.desk.sim("status").strip())
        self.assertEqual(0, self.msiexec("/x", self.msi))
        # Ended by its Exit, which closes the handset, before its files went.
        self.assertTrue(wait_for(lambda: self.desk.sim("status").strip() == "plugged closed", 5))
        self.desk.wait_tray(NO_ICON, keep_as="uninstalled")
        left = os.listdir(self.folder) if os.path.isdir(self.folder) else None
        self.assertIsNone(left, "the install folder is left")
        self.assertFalse(os.path.exists(self.shortcut), "the shortcut is still there")
        self.assertEqual({}, self.uninstall_entries())
        self.assertIsNone(self.value(RUN_KEY, "Tandivorex"))
        self.assertIsNone(self.value(APPROVED_KEY, "Tandivorex"))

    def test_5_uninstall_leaves_a_run_value_that_starts_another_copy(self):
        self.assertEqual(0, self.msiexec("/i", self.msi))
        elsewhere = r'"C:\Tools\Tandivorex\Tandivorex.exe"'
        self.set_value(RUN_KEY, "Tandivorex", "REG_SZ", elsewhere)
        self.assertEqual(0, self.msiexec("/x", self.msi))
        self.assertFalse(os.path.exists(self.folder))
        self.assertEqual((1, (elsewhere + "\0").encode("utf-16-le")), self.value(RUN_KEY, "Tandivorex"))

    def test_6_an_uninstall_that_fails_puts_autorun_back(self):
        broken = os.path.join(self.top, "failing-uninstall.msi")
        failing_uninstall(self.msi, broken)
        self.assertEqual(0, self.msiexec("/i", broken, "AUTORUN=1"))
        self.set_value(APPROVED_KEY, "Tandivorex", "REG_BINARY", SWITCHED_OFF)
        too_long = "C:\\" + "d" * 300 + "\\Tandivorex.exe"
        self.assertNotEqual(0, self.msiexec("/x", broken, "FAILAFTERREMOVE=" + too_long))
        # RemoveAutoRun ran, then its rollback put back what it took.
        self.assert_run_value_starts_the_installed_program()
        self.assertEqual((3, bytes.fromhex(SWITCHED_OFF)), self.value(APPROVED_KEY, "Tandivorex"))
        self.assertEqual(0, self.msiexec("/x", broken))
        self.assertIsNone(self.value(RUN_KEY, "Tandivorex"))


class MsiHandsetChoice(unittest.TestCase):
    """HANDSET=HID under Wine's msiexec: the program's folder holds our HID
    edition of QVUSBTEL.dll only when it was asked for; an upgrade without
    HANDSET keeps the installed release's choice, HANDSET=MAKER takes the
    library away, a misspelt choice is refused, and the uninstall forgets."""

    # The same helpers as the install session's, on this class's desktop.
    msiexec = InstallSession.__dict__["msiexec"]
    wine_output = InstallSession.__dict__["wine_output"]
    windows_path = InstallSession.__dict__["windows_path"]
    unix_path = InstallSession.__dict__["unix_path"]
    value = InstallSession.value

    @classmethod
    def setUpClass(cls):
        cls.top = tempfile.mkdtemp()
        cls.addClassCleanup(shutil.rmtree, cls.top, ignore_errors=True)
        (cls.msi,) = glob.glob(os.path.join(DIST, f"Tandivorex-*-{TAG}.msi"))
        (hid_zip,) = glob.glob(os.path.join(DIST, f"Tandivorex-*-hid-{TAG}.zip"))
        with zipfile.ZipFile(hid_zip) as z:
            cls.shipped_library = z.read("QVUSBTEL.dll")
        # After the install session (unittest takes classes by name), into its folder.
        os.makedirs(ARTIFACTS, exist_ok=True)
        cls.desk = cls.enterClassContext(WineDesktop([BIN], ARTIFACTS))
        cls.folder = cls.unix_path(cls.windows_path("%LOCALAPPDATA%") + r"\Programs\Tandivorex")
        # Two older releases of this build, each carrying the build's HID library.
        cls.built_library = os.path.join(BIN, "..", "hid", "QVUSBTEL.dll")
        release = msi_property(cls.msi, "ProductVersion")
        cls.oldest, cls.older = (os.path.join(cls.top, f"{name}.msi") for name in ("oldest", "older"))
        for msi, version in ((cls.older, older_version(release)),
                             (cls.oldest, older_version(older_version(release)))):
            subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "lib", "make_msi.py"), msi, BIN, version,
                            "x86" if TAG == "win32" else "x64", "--hid-library", cls.built_library],
                           check=True, env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
        cls.addClassCleanup(cls.uninstall_all)

    @classmethod
    def uninstall_all(cls):
        for msi in (cls.msi, cls.older, cls.oldest):
            cls.msiexec("/x", msi)

    def installed_library(self):
        """The QVUSBTEL.dll in the program's folder, as bytes, or None."""
        path = os.path.join(self.folder, "QVUSBTEL.dll")
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def assert_choice(self, library, remembered):
        self.assertTrue(os.path.isfile(os.path.join(self.folder, "Tandivorex.exe")), "the program is not installed")
        self.assertEqual(library, self.installed_library(), "QVUSBTEL.dll in the program's folder")
        self.assertEqual(remembered, self.value(r"Software\Tandivorex", "Handset"))

    def test_1_only_when_asked_kept_by_an_upgrade_and_forgotten_by_the_uninstall(self):
        with open(self.built_library, "rb") as f:
            built = f.read()
        hid = (1, "HID\0".encode("utf-16-le"))
        self.assertEqual(0, self.msiexec("/i", self.oldest))
        self.assert_choice(None, None)
        self.assertEqual(0, self.msiexec("/i", self.older, "HANDSET=hid"))
        self.assert_choice(built, hid)
        self.assertEqual(0, self.msiexec("/i", self.msi))
        self.assert_choice(self.shipped_library, hid)
        self.assertEqual(0, self.msiexec("/x", self.msi))
        self.assertFalse(os.path.exists(self.folder), "the install folder is left")
        self.assertIsNone(self.value(r"Software\Tandivorex", "Handset"))
        # A fresh install after the uninstall: nothing chosen, nothing there.
        self.assertEqual(0, self.msiexec("/i", self.msi))
        self.assert_choice(None, None)
        self.assertEqual(0, self.msiexec("/x", self.msi))

    def test_2_maker_takes_it_away_in_an_upgrade(self):
        self.assertEqual(0, self.msiexec("/i", self.older, "HANDSET=HID"))
        self.assertEqual(0, self.msiexec("/i", self.msi, "HANDSET=MAKER"))
        self.assert_choice(None, None)
        self.assertEqual(0, self.msiexec("/x", self.msi))

    def test_3_a_misspelt_choice_is_refused_and_installs_nothing(self):
        self.assertNotEqual(0, self.msiexec("/i", self.msi, "HANDSET=HDI"))
        self.assertFalse(os.path.exists(os.path.join(self.folder, "Tandivorex.exe")))

    def test_4_an_uninstall_takes_the_library_whatever_handset_says(self):
        self.assertEqual(0, self.msiexec("/i", self.msi, "HANDSET=HID"))
        self.assertEqual(0, self.msiexec("/x", self.msi, "HANDSET=MAKER"))
        self.assertFalse(os.path.exists(self.folder), "the install folder is left")
        self.assertIsNone(self.value(r"Software\Tandivorex", "Handset"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
