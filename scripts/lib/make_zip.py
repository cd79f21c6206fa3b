"""Writes a zip whose bytes depend on nothing but its files' contents:

    make_zip.py ZIP NAME=PATH...

Entries in the order given, each dated SOURCE_DATE_EPOCH (UTC), with MS-DOS
attributes as Windows writes them; .txt files get Windows line ends, for
Notepad.
"""

import os
import sys
import time
import zipfile


def for_windows(name, data):
    """A file's bytes as Windows users get them: .txt files with CR LF."""
    if name.endswith(".txt"):
        return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return data


def main(out, entries):
    stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]
    with zipfile.ZipFile(out, "w") as archive:
        for entry in entries:
            name, path = entry.split("=", 1)
            with open(path, "rb") as f:
                data = for_windows(name, f.read())
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 0
            info.external_attr = 0x20  # FILE_ATTRIBUTE_ARCHIVE
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_zip.py ZIP NAME=PATH...")
    main(sys.argv[1], sys.argv[2:])
