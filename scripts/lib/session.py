"""A private Wine session: a prefix of its own, a display, the virtual desktop
every process joins and one wineserver kept alive. Made by wine-session.sh,
the one recipe scripts/test also uses; here it is made, or joined, from
Python and ended with the object."""

import functools
import os
import signal
import subprocess

LIB = os.path.dirname(os.path.abspath(__file__))


@functools.cache
def wine_loader(bits):
    """The Wine loader of bits-bit programs, found by wine-loader: Wine's own
    programs (reg, msiexec, cmd...) start with it, never with `wine`."""
    found = subprocess.run([os.path.join(LIB, "wine-loader"), str(bits)], stdin=subprocess.DEVNULL,
                           capture_output=True, text=True)
    if found.returncode != 0:
        raise RuntimeError(found.stderr.strip())
    return found.stdout.strip()

# Printed by the shell after the session is up: the variables it exported,
# then the Xvfb it started, if any.
READ_BACK = ('. "$0/wine-session.sh" && wine_session_start "$1" "$2" && '
             'for v in WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES DISPLAY; do '
             'printf "%s=%s\\n" "$v" "$(printenv "$v")"; done && '
             'echo "XVFB_PID=${WINE_SESSION_XVFB_PID:-}"')


class WineSession:
    """With a prefix, makes a fresh session there and ends it at stop(); with
    none, joins the session this process runs in (WINEPREFIX and DISPLAY
    set, as under scripts/test) and leaves it as it was."""

    def __init__(self, prefix=None, size="1024x768"):
        self.prefix = os.path.abspath(prefix) if prefix else None
        self.size = size
        self.env = None
        self.xvfb_pid = None

    def start(self):
        if self.prefix is None:
            if not os.environ.get("WINEPREFIX") or not os.environ.get("DISPLAY"):
                raise RuntimeError("no Wine session to join: WINEPREFIX and DISPLAY are not set")
            self.env = dict(os.environ)
            return self
        done = subprocess.run(["bash", "-c", READ_BACK, LIB, self.prefix, self.size],
                              stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"the Wine session could not be made in {self.prefix}: {done.stderr.strip()}")
        made = dict(line.split("=", 1) for line in done.stdout.splitlines() if "=" in line)
        self.xvfb_pid = int(made.pop("XVFB_PID")) if made.get("XVFB_PID") else None
        self.env = dict(os.environ, **made)
        return self

    def stop(self):
        if self.prefix is None or self.env is None:
            return
        subprocess.run(["wineserver", "-k"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if self.xvfb_pid:
            try:
                os.kill(self.xvfb_pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
        self.env = None

    def pids(self, name):
        """The Linux processes running the Windows program name in this session."""
        prefix = f"WINEPREFIX={self.env['WINEPREFIX']}".encode()
        # The kernel keeps a process's name to 15 characters.
        comm = name[:15]
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/comm") as f:
                    if f.read().strip() != comm:
                        continue
                with open(f"/proc/{entry}/environ", "rb") as f:
                    if prefix in f.read().split(b"\0"):
                        pids.append(int(entry))
            except OSError:
                pass  # ended while we looked
        return pids
