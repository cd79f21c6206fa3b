"""What other programs rely on, read from app/outside_interface.h, where the
program, its installer and the tests all take it from: define("RUN_KEY")."""

import os
import re

HEADER = os.path.join(os.path.dirname(__file__), "..", "..", "app", "outside_interface.h")


def define(name):
    """The text of a string macro, with its C escapes undone."""
    with open(HEADER) as f:
        match = re.search(r'^#define\s+' + re.escape(name) + r'\s+"((?:[^"\\]|\\.)*)"\s*$', f.read(), re.M)
    if match is None:
        raise KeyError(f"{name} is not a string macro of {HEADER}")
    return re.sub(r"\\(.)", r"\1", match.group(1))
