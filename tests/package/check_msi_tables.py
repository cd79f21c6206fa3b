"""What Windows will do with the MSI, read from its tables (msitools'
msiinfo): each custom action's type as installer/tandivorex.wxs means it,
whatever wixl wrote, and the per-user rules of the ICEs that Windows SDK's
validation would apply. Prints a line for each fault; exit status 1 if any.

    check_msi_tables.py MSI
"""

import subprocess
import sys

# Type bits (msidbCustomActionType*): 1 a DLL in the Binary table, 18 the
# installed exe, 51 a property set; 0xC0 asynchronous, not waited for; 0x100
# only in the first sequence that reaches it; 0x400 deferred; 0x500 rollback;
# 0x800 not impersonated (no deferred action here may run as LocalSystem: they
# write the user's own registry).
EXPECTED_TYPES = {
    "FindNewerVersion": 1 | 0x100,
    "SetInstallLocation": 51,
    "EndRunningCopy": 1,
    "RememberAutoRun": 1,
    "SetUndoRemoveAutoRun": 51,
    "UndoRemoveAutoRun": 1 | 0x500,
    "SetRemoveAutoRun": 51,
    "RemoveAutoRun": 1 | 0x400,
    "SetRestoreAutoRun": 51,
    "RestoreAutoRun": 1 | 0x400,
    "SetWriteAutoRun": 51,
    "WriteAutoRun": 1 | 0x400,
    "StartNewCopy": 18 | 0xC0,
}
# The folders of the user's profile that the package writes under.
PROFILE_FOLDERS = {"LocalAppDataFolder", "AppDataFolder", "ProgramMenuFolder", "StartMenuFolder", "DesktopFolder"}
HKCU = "1"
REGISTRY_KEY_PATH = 4


def table(msi, name):
    text = subprocess.run(["msiinfo", "export", msi, name], check=True, capture_output=True, text=True).stdout
    return [line.rstrip("\r").split("\t") for line in text.splitlines()[3:] if line.strip()]


def main():
    msi = sys.argv[1]
    faults = []
    types = {row[0]: int(row[1]) for row in table(msi, "CustomAction")}
    if types != EXPECTED_TYPES:
        for action in sorted(set(types) | set(EXPECTED_TYPES)):
            if types.get(action) != EXPECTED_TYPES.get(action):
                faults.append(f"custom action {action} has type {types.get(action)}, "
                              f"not {EXPECTED_TYPES.get(action)}")

    parent = {row[0]: row[1] for row in table(msi, "Directory")}

    def in_profile(directory):
        while directory:
            if directory in PROFILE_FOLDERS:
                return True
            directory = parent.get(directory)
        return False

    # ICE38, ICE43: a component in the profile (every one of this package)
    # has an HKCU value for its key path, as a file there would read as
    # installed for every user once one has it.
    hkcu = {row[0] for row in table(msi, "Registry") if row[1] == HKCU}
    for name, _, directory, attributes, _, key_path in table(msi, "Component"):
        if in_profile(directory) and not (int(attributes) & REGISTRY_KEY_PATH and key_path in hkcu):
            faults.append(f"component {name} in the profile has no HKCU key path (ICE38, ICE43)")
    # ICE64: every folder the package makes in the profile is removed, when empty.
    removed = {row[3] for row in table(msi, "RemoveFile") if row[2] == ""}
    for directory in parent:
        if directory not in PROFILE_FOLDERS and in_profile(directory) and directory not in removed:
            faults.append(f"folder {directory} in the profile is never removed (ICE64)")

    for fault in faults:
        print(f"FAIL: {msi}: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
