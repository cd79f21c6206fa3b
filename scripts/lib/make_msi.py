"""Writes the per-user MSI of one build (installer/tandivorex.wxs, with wixl):

    make_msi.py MSI BIN_DIR VERSION ARCH [--readme PATH] [--hid-library PATH]

BIN_DIR holds Tandivorex.exe, phonestate.exe and msi_actions.dll, and in
hid/ (or, in a build tree, in ../hid/) the HID edition's QVUSBTEL.dll, which
the MSI installs only when asked (--hid-library takes it from elsewhere); VERSION is
a.b.c.d; ARCH is x86 (the download) or x64 (for the tests). --readme ships
another README.txt than package/README.txt (the tests mark an older release
with it). The bytes depend on nothing but the inputs: the files are dated
SOURCE_DATE_EPOCH, the clock wixl writes into the summary is held there, and
the product and package codes, which wixl would draw at random, are derived
from the version and the contents.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import uuid
import xml.etree.ElementTree as ET

from make_zip import for_windows

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WXS = os.path.join(ROOT, "installer", "tandivorex.wxs")
# The wxs's UpgradeCode: the one identity every release shares.
UPGRADE_CODE = uuid.UUID("D6AB68AC-3DDB-4B39-8AF3-FCFF5F67CFE1")
MANUFACTURER = "The Tandivorex developers"
# The CustomAction table's scheduling bits, by the wxs's Execute attribute
# (msidbCustomActionType*): wixl 0.101 knows only "deferred".
EXECUTE_BITS = {"immediate": 0, "firstSequence": 0x100, "oncePerProcess": 0x200, "secondSequence": 0x300,
                "deferred": 0x400, "rollback": 0x500, "commit": 0x600}
NO_IMPERSONATE = 0x800
# Components installed only on a condition, which wixl 0.101 cannot write:
# the HID edition's library only when asked for, or kept by an upgrade
# (installer/tandivorex.wxs). An uninstall, an upgrade's of the older release
# too, takes it whatever the condition would say then: Wine's msi leaves an
# installed component whose condition is false then where it is.
COMPONENT_CONDITIONS = {"HidLibrary": 'HANDSET~="HID" OR (NOT HANDSET AND HANDSETINSTALLED="HID") OR REMOVE~="ALL"'}


def run(*command, cwd=None):
    # wixl and msibuild report some failures only on stderr, exiting 0.
    result = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0 or "CRITICAL" in result.stderr:
        sys.exit(f"make_msi: {command[0]} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def stage(folder, bin_dir, readme, hid_library):
    """The package's inputs in one folder, named as wixl is told, dated alike."""
    files = {
        "Tandivorex.exe": os.path.join(bin_dir, "Tandivorex.exe"),
        "phonestate.exe": os.path.join(bin_dir, "phonestate.exe"),
        "msi_actions.dll": os.path.join(bin_dir, "msi_actions.dll"),
        "QVUSBTEL.dll": hid_library,
        "README.txt": readme,
        "LICENSE.txt": os.path.join(ROOT, "LICENSE"),
        "tandivorex.ico": os.path.join(ROOT, "res", "icons", "tandivorex.ico"),
        "tandivorex.wxs": WXS,
    }
    stamp = int(os.environ["SOURCE_DATE_EPOCH"])
    digest = hashlib.sha256()
    for name in sorted(files):
        with open(files[name], "rb") as f:
            data = for_windows(name, f.read())
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        os.utime(os.path.join(folder, name), (stamp, stamp))
        digest.update(name.encode() + b"\0" + hashlib.sha256(data).digest())
    return digest.hexdigest()


def custom_action_types(msi, folder):
    """The CustomAction table's types as the wxs asks for them. wixl drops
    every Execute but "deferred" (a rollback action would run at once) and
    sets NoImpersonate on every action not marked Impersonate="yes"; Windows
    Installer reads that bit for deferred, rollback and commit actions only."""
    wix = "{http://schemas.microsoft.com/wix/2006/wi}"
    asked = {}
    for action in ET.parse(WXS).iter(wix + "CustomAction"):
        execute = EXECUTE_BITS[action.get("Execute", "immediate")]
        in_script = execute & 0x400 != 0
        asked[action.get("Id")] = execute | (NO_IMPERSONATE if in_script and action.get("Impersonate") == "no" else 0)
    rows = run("msiinfo", "export", msi, "CustomAction").split("\n")
    for i, row in enumerate(rows[3:], 3):
        fields = row.split("\t")
        if len(fields) > 1:
            # The low byte is the kind of action and how its return is taken.
            fields[1] = str(int(fields[1]) & 0xFF | asked[fields[0]])
            rows[i] = "\t".join(fields)
    with open(os.path.join(folder, "CustomAction.idt"), "w", newline="") as f:
        f.write("\n".join(rows))
    return os.path.join(folder, "CustomAction.idt")


def main():
    parser = argparse.ArgumentParser(prog="make_msi.py")
    parser.add_argument("msi")
    parser.add_argument("bin_dir")
    parser.add_argument("version")
    parser.add_argument("arch", choices=("x86", "x64"))
    parser.add_argument("--readme", default=os.path.join(ROOT, "package", "README.txt"))
    parser.add_argument("--hid-library")
    args = parser.parse_args()
    fields = args.version.split(".")
    # Windows Installer's limits on a product version.
    if len(fields) != 4 or not all(f.isdigit() for f in fields) or int(fields[0]) > 255 \
            or int(fields[1]) > 255 or int(fields[2]) > 65535 or int(fields[3]) > 65535:
        sys.exit(f"make_msi: {args.version} is not a product version a.b.c.d "
                 "(a, b up to 255; c, d up to 65535)")

    with tempfile.TemporaryDirectory() as folder:
        # A package's staging folder holds it in hid/; a build tree beside bin/.
        hid_library = args.hid_library or next(
            (path for path in (os.path.join(args.bin_dir, "hid", "QVUSBTEL.dll"),
                               os.path.join(args.bin_dir, "..", "hid", "QVUSBTEL.dll")) if os.path.exists(path)),
            os.path.join(args.bin_dir, "hid", "QVUSBTEL.dll"))
        contents = stage(folder, os.path.abspath(args.bin_dir), os.path.abspath(args.readme),
                         os.path.abspath(hid_library))
        # Each release a product of its own (a major upgrade); each build of
        # it a package of its own.
        product = uuid.uuid5(UPGRADE_CODE, f"product {args.version} {args.arch}")
        package = uuid.uuid5(UPGRADE_CODE, f"package {args.version} {args.arch} {contents}")
        epoch = int(os.environ["SOURCE_DATE_EPOCH"])
        clock = ["faketime", "-f", time.strftime("@%Y-%m-%d %H:%M:%S", time.gmtime(epoch))]
        os.environ["TZ"] = "UTC"
        msi = os.path.join(folder, "out.msi")
        # wixl takes its sources' paths relative to the folder it runs in.
        run(*clock, "wixl", "-a", args.arch, "-D", f"Version={args.version}",
            "-D", f"ProductCode={product}", "-D", "Bin=.", "-D", "Hid=.", "-D", "Docs=.",
            "-D", "Icon=tandivorex.ico", "-o", msi, "tandivorex.wxs", cwd=folder)
        # wixl 0.101 drops IncludeMaximum: the older releases' row is made to
        # include this version's own first three fields (0x100 | 0x200).
        table = run("msiinfo", "export", msi, "Upgrade").split("\n")
        table = ["\t".join(row.split("\t")[:4] + ["768"] + row.split("\t")[5:])
                 if row.rstrip("\r").endswith("\tOLDERVERSIONFOUND") else row for row in table]
        with open(os.path.join(folder, "Upgrade.idt"), "w", newline="") as f:
            f.write("\n".join(table))
        run(*clock, "msibuild", msi, "-i", os.path.join(folder, "Upgrade.idt"))
        run(*clock, "msibuild", msi, "-i", custom_action_types(msi, folder))
        rows = run("msiinfo", "export", msi, "Component").split("\n")
        for i, row in enumerate(rows[3:], 3):
            fields = row.split("\t")
            if fields[0] in COMPONENT_CONDITIONS:
                fields[4] = COMPONENT_CONDITIONS.pop(fields[0])
                rows[i] = "\t".join(fields)
        if COMPONENT_CONDITIONS:
            sys.exit(f"make_msi: no component {', '.join(COMPONENT_CONDITIONS)} in {WXS}")
        with open(os.path.join(folder, "Component.idt"), "w", newline="") as f:
            f.write("\n".join(rows))
        run(*clock, "msibuild", msi, "-i", os.path.join(folder, "Component.idt"))
        template = ("Intel" if args.arch == "x86" else "x64") + ";1033"
        run(*clock, "msibuild", msi, "-s", "Tandivorex", MANUFACTURER, template,
            "{" + str(package).upper() + "}")
        shutil.move(msi, args.msi)


if __name__ == "__main__":
    main()
