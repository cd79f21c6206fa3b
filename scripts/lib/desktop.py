"""Drives Tandivorex and its stand-ins in a running Wine desktop, and reads
the tray the way a person does: from a screenshot of the task bar.

Used by the end-to-end tests and by the demo. Expects WINEPREFIX and DISPLAY of
a session made by wine-session.sh, whose default desktop every process joins.
"""

import os
import subprocess
import tempfile
import time

# The icon colours drawn by res/icons/draw_icons.py.
BADGE_GREEN = (46, 160, 67)
DARK_GREEN = (10, 70, 25)
RED = (220, 30, 30)
GREY = (150, 150, 150)

NO_HANDSET = "no handset"
NO_SOFTPHONE = "no softphone"
CONNECTED = "connected"
NO_ICON = "no icon"


def wait_for(condition, timeout, interval=0.2):
    """Polls until condition() is true or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class Screenshot:
    """The Wine desktop's pixels, as RGB triples."""

    def __init__(self, png_path):
        self.path = png_path
        size = subprocess.run(["identify", "-format", "%w %h", png_path],
                              check=True, capture_output=True, text=True).stdout.split()
        self.width, self.height = int(size[0]), int(size[1])
        self.rgb = subprocess.run(["convert", png_path, "-depth", "8", "rgb:-"],
                                  check=True, capture_output=True).stdout

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def find(self, colour, top, bottom, left=0, right=None):
        """The points in the band [top, bottom) that have exactly this colour."""
        right = self.width if right is None else right
        return [(x, y) for y in range(max(top, 0), min(bottom, self.height))
                for x in range(left, right) if self.pixel(x, y) == colour]


class Desktop:
    """Processes started in the Wine session, and what the screen shows."""

    def __init__(self, bin_dir, artifacts_dir):
        self.bin_dir = os.path.abspath(bin_dir)
        self.artifacts = os.path.abspath(artifacts_dir)
        os.makedirs(self.artifacts, exist_ok=True)
        self.processes = []

    # Processes ---------------------------------------------------------------

    def exe(self, name):
        return os.path.join(self.bin_dir, name)

    def start(self, name, *args):
        """Starts a Windows program that keeps running; its output goes to a log."""
        log = open(os.path.join(self.artifacts, f"{name}.{len(self.processes)}.log"), "w")
        # Wine's own helpers inherit our descriptors: never give them a pipe.
        proc = subprocess.Popen(["wine", self.exe(name), *args], stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT)
        self.processes.append((proc, log))
        return proc

    def run(self, name, *args, timeout=30):
        """Runs a Windows command line program to its end: (exit code, output)."""
        with tempfile.TemporaryFile() as out:
            rc = subprocess.run(["wine", self.exe(name), *args], stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
            out.seek(0)
            return rc, out.read().decode(errors="replace").replace("\r\n", "\n")

    def sim(self, *args):
        """A command to the simulated handset; fails loudly when it fails."""
        rc, out = self.run("handset-sim.exe", *args)
        if rc != 0:
            raise AssertionError(f"handset-sim {' '.join(args)} failed ({rc}): {out}")
        return out

    def sim_commands(self):
        """The command codes the simulated handset has received, oldest first."""
        return [int(line.split()[0], 16) for line in self.sim("commands").splitlines()
                if line.strip()]

    def stop_all(self):
        for proc, log in reversed(self.processes):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
            log.close()
        self.processes = []

    # The screen --------------------------------------------------------------

    def desktop_window(self):
        out = subprocess.run(["xdotool", "search", "--name", "Wine desktop"],
                             capture_output=True, text=True).stdout.split()
        return out[0] if out else None

    def screenshot(self, name=None):
        """The Wine desktop window as a person sees it; kept when named."""
        # Polling shots overwrite one file; named ones are kept.
        name = name or "last"
        path = os.path.join(self.artifacts, f"{name}.png")
        window = self.desktop_window() or "root"
        subprocess.run(["import", "-window", window, path], check=True,
                       stderr=subprocess.DEVNULL)
        return Screenshot(path)

    def tray_icon_area(self, shot):
        """Where our icon is on the task bar (its points), from its colours."""
        top = shot.height - 40
        return shot.find(BADGE_GREEN, top, shot.height) + shot.find(GREY, top, shot.height)

    def tray_status(self, shot=None):
        """Which status the tray icon shows, read from its colours alone."""
        shot = shot or self.screenshot()
        top = shot.height - 40
        count = {c: len(shot.find(c, top, shot.height)) for c in (BADGE_GREEN, DARK_GREEN, RED, GREY)}
        if count[RED] >= 20 and count[BADGE_GREEN] >= 20:
            return NO_HANDSET
        if count[GREY] >= 20 and count[BADGE_GREEN] >= 20 and count[DARK_GREEN] == 0:
            return NO_SOFTPHONE
        if count[DARK_GREEN] >= 20 and count[BADGE_GREEN] >= 20 and count[RED] == 0:
            return CONNECTED
        return NO_ICON

    def wait_tray(self, status, timeout=6, keep_as=None):
        """Waits until the tray shows the status; keeps the screenshot when named."""
        seen = wait_for(lambda: self.tray_status() == status, timeout, interval=0.3)
        shot = self.screenshot(keep_as) if keep_as else None
        if not seen:
            raise AssertionError(f"the tray never showed '{status}' (last: {self.tray_status()})")
        return shot

    def tray_icon_centre(self):
        points = self.tray_icon_area(self.screenshot())
        if not points:
            raise AssertionError("no tray icon on the task bar")
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2

    def click(self, x, y, button=1):
        """A real click at a point of the Wine desktop."""
        window = self.desktop_window()
        subprocess.run(["xdotool", "mousemove", "--window", window, str(x), str(y),
                        "click", str(button)], check=True)


class SoftphoneLog:
    """The stand-in softphone's log: one event a line, 'T kind [key=value...]'."""

    def __init__(self, path):
        self.path = path

    def events(self):
        if not os.path.exists(self.path):
            return []
        events = []
        with open(self.path, errors="replace") as f:
            for line in f:
                parts = line.split()
                if len(parts) < 2:
                    continue
                fields = dict(p.split("=", 1) for p in parts[2:] if "=" in p)
                events.append({"t": float(parts[0]), "kind": parts[1], **fields})
        return events

    def keys(self):
        """Key messages as (kind, virtual key, lparam, time in ms)."""
        return [(e["kind"], int(e["vk"], 16), int(e["lparam"], 16), e["t"])
                for e in self.events() if e["kind"] in ("keydown", "keyup")]
