"""Tandivorex and its stand-ins in a Wine desktop, driven the way a person
would: programs started and ended, the tray read from screenshots and its
menu clicked, windows' controls read and clicked. Used by the end-to-end
tests, the demo, the bench and the shell-restart probe:

    with WineDesktop(bin_dir, artifacts, device=True) as desk:
        desk.start("Tandivorex.exe")
        desk.sim("plug")
        desk.wait_tray(NO_SOFTPHONE)

Given a prefix it makes a Wine session of its own and ends it afterwards;
without, it joins the one it runs in (under scripts/test). With device=True
it starts the simulated handset, unplugged; whatever device runs at the end,
its own or one a panel started, is ended with everything it started.
"""

import os
import subprocess
import tempfile
import time

from scripts.lib import screen
from scripts.lib.screen import NO_ICON
from scripts.lib.session import WineSession, wine_loader

# What the test session's crash debugger says when it ends a crashed program.
CRASHED = "CRASHED: process"

# The tray menu's items, top to bottom; a separator stands before Exit.
TRAY_MENU_ITEMS = ("About", "AutoRun", "Exit")

# The simulated handset's panel: its caption, and ids of standins/handset_sim/panel_ids.h.
PANEL = "Simulated handset"
PANEL_STATUS, PANEL_LAMP_NAME, PANEL_LAMP_DETAIL, PANEL_COMMANDS = 101, 103, 104, 106


def wait_for(condition, timeout, interval=0.2):
    """Polls until condition() is true or the time is up; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class WineDesktop:
    """Processes started in a Wine session, and what its screen shows."""

    def __init__(self, bin_dirs, artifacts_dir, prefix=None, device=False, device_log=None,
                 desktop_size="1024x768"):
        # Programs are looked for in each folder in turn (a program's own and a
        # simulator's, say); others (reg, msiexec...) are Wine's, started with
        # the loader of the bitness meant (bits).
        self.bin_dirs = [os.path.abspath(d) for d in ([bin_dirs] if isinstance(bin_dirs, str) else bin_dirs)]
        self.artifacts = os.path.abspath(artifacts_dir)
        self.session = WineSession(prefix, desktop_size)
        self.device = device or device_log is not None
        self.device_log = device_log
        self.processes = []
        self.phones = 0

    # The session and the device ----------------------------------------------

    def __enter__(self):
        os.makedirs(self.artifacts, exist_ok=True)
        self.session.start()
        try:
            if self.device:
                self.start("handset-sim.exe", "serve", *(["--log", self.device_log] if self.device_log else []))
                if not wait_for(lambda: self.run("handset-sim.exe", "status")[0] == 0, 10):
                    raise RuntimeError("the simulated handset did not start")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, kind, value, traceback):
        crashed = []
        try:
            if self.env is not None:
                self.run("handset-sim.exe", "quit")  # any device, ours or a panel's
                crashed = self.stop_all()
                if self.session.prefix is None:
                    # A shared session: the next user starts with an empty tray.
                    wait_for(lambda: self.tray_status() == NO_ICON, 10)
        finally:
            self.session.stop()
        if crashed and kind is None:
            raise AssertionError(f"a program crashed; see {', '.join(crashed)}")
        return False

    @property
    def env(self):
        return self.session.env

    def pids(self, name):
        return self.session.pids(name)

    # Processes ---------------------------------------------------------------

    def exe(self, name):
        for folder in self.bin_dirs:
            path = os.path.join(folder, name)
            if os.path.exists(path):
                return path
        return name

    def command(self, name, bits=None):
        """How to start a program: ours by its file, whose header tells Wine its
        bitness; Wine's own by the loader of the bitness meant, as `wine` may
        start either (with wine32 installed, `wine reg` is the 32-bit reg)."""
        path = self.exe(name)
        if bits:
            return [wine_loader(bits), path]
        if not os.path.isfile(path):
            raise ValueError(f"{name} is not in {', '.join(self.bin_dirs)}: "
                             "a program of Wine's own starts with bits=32 or 64")
        return ["wine", path]

    def start(self, name, *args, wine_debug=None, bits=None):
        """Starts a Windows program that keeps running; its output, with Wine's
        messages of the channels in wine_debug, goes to a log (output())."""
        command = self.command(name, bits)
        log = open(os.path.join(self.artifacts, f"{name}.{len(self.processes)}.log"), "w")
        env = dict(self.env, WINEDEBUG=wine_debug) if wine_debug else self.env
        # Wine's own helpers inherit our descriptors: never give them a pipe.
        proc = subprocess.Popen([*command, *args], stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT, env=env)
        self.processes.append((proc, log))
        return proc

    def output(self, proc):
        """What a program started here has written so far."""
        (log,) = [log for p, log in self.processes if p is proc]
        log.flush()
        with open(log.name, errors="replace") as f:
            return f.read()

    def run(self, name, *args, timeout=30, env=None, bits=None):
        """Runs a Windows program, ours or Wine's, to its end: (exit code, output)."""
        command = self.command(name, bits)
        with tempfile.TemporaryFile() as out:
            rc = subprocess.run([*command, *args], stdin=subprocess.DEVNULL, stdout=out,
                                stderr=subprocess.STDOUT, timeout=timeout, env=env or self.env).returncode
            out.seek(0)
            text = out.read().decode(errors="replace").replace("\r\n", "\n")
        if CRASHED in text:
            raise AssertionError(f"{name} {' '.join(args)} crashed: {text}")
        return rc, text

    def reg(self, view, *args):
        """reg.exe on the registry's 32- or 64-bit view: (exit code, output)."""
        return self.run("reg", *args, f"/reg:{view}", bits=64)

    def start_softphone(self, *args):
        """Starts a stand-in softphone logging to a file of its own: (process, log)."""
        self.phones += 1
        log = SoftphoneLog(os.path.join(self.artifacts, f"softphone-{self.phones}.log"))
        proc = self.start("softphone.exe", "--log", log.path, *args)
        if not wait_for(lambda: any(e["kind"] == "start" for e in log.events()), 10):
            raise AssertionError("the softphone did not start")
        return proc, log

    def sim(self, *args):
        """A command to the simulated handset; fails loudly when it fails."""
        rc, out = self.run("handset-sim.exe", *args)
        if rc != 0 and not out.strip():
            # Every failure of handset-sim says why; a silent one is Wine failing
            # to start the process (seen rarely under load), so start it again.
            rc, out = self.run("handset-sim.exe", *args)
        if rc != 0:
            raise AssertionError(f"handset-sim {' '.join(args)} failed ({rc}): {out}")
        return out

    def sim_commands(self):
        """The command codes the simulated handset has received, oldest first."""
        return [int(line.split()[0], 16) for line in self.sim("commands").splitlines() if line.strip()]

    def stop_all(self):
        """Ends every program started here; returns the logs of those that crashed."""
        for proc, log in reversed(self.processes):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    proc.kill()
            log.close()
        crashed = []
        for _, log in self.processes:
            with open(log.name, errors="replace") as f:
                if CRASHED in f.read():
                    crashed.append(log.name)
        self.processes = []
        return crashed

    # The screen and the pointer ----------------------------------------------

    def desktop_window(self):
        # Only a mapped one: X cannot read the pixels of a window that the
        # desktop's first program is still creating.
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "Wine desktop"],
                             capture_output=True, text=True, env=self.env).stdout.split()
        return out[0] if out else None

    def screenshot(self, name=None):
        """The Wine desktop window as a person sees it; kept when named."""
        # Polling shots overwrite one file; named ones are kept.
        path = os.path.join(self.artifacts, f"{name or 'last'}.png")
        # The window found may be unmapped by the time it is read (the desktop
        # is made again when its first program starts): look for it again.
        for attempt in range(10):
            try:
                return screen.grab(self.desktop_window() or "root", path, self.env)
            except subprocess.CalledProcessError:
                if attempt == 9:
                    raise
                time.sleep(0.2)

    def tray_status(self, shot=None):
        return screen.tray_status(shot or self.screenshot())

    def wait_tray(self, status, timeout=6, keep_as=None):
        """Waits until the tray shows the status; keeps the screenshot when named."""
        seen = wait_for(lambda: self.tray_status() == status, timeout, interval=0.3)
        shot = self.screenshot(keep_as) if keep_as else None
        if not seen:
            raise AssertionError(f"the tray never showed '{status}' (last: {self.tray_status()})")
        return shot

    def tray_icon_centre(self):
        points = screen.tray_icon_area(self.screenshot())
        if not points:
            raise AssertionError("no tray icon on the task bar")
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        return (min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], check=True, env=self.env)

    def click(self, x, y, button=1):
        """A real click at a point of the Wine desktop."""
        self.xdotool("mousemove", "--window", self.desktop_window(), str(x), str(y), "click", str(button))

    def settled_screen(self, name, timeout=3):
        """A shot taken with the pointer in the desktop's top right corner, once
        nothing moves any more (or the time is up)."""
        shot = self.screenshot(name)
        self.xdotool("mousemove", "--window", self.desktop_window(), str(shot.width - 3), "3")
        deadline = time.monotonic() + timeout
        while True:
            time.sleep(0.3)
            last, shot = shot, self.screenshot(name)
            if shot.changed_box(last) is None or time.monotonic() >= deadline:
                return shot

    def key(self, *names):
        """Keys pressed on the keyboard; they reach the window Wine has in front."""
        # X's focus may rest on the task bar's own window, which would take them.
        self.xdotool("windowfocus", self.desktop_window())
        self.xdotool("key", *names)

    # Windows' controls, read through tests/e2e/window_controls ------------------

    def controls(self, caption):
        """The controls of the window with this caption: (id, (left, top, right,
        bottom) on the desktop, text), a list box once per item, top first;
        empty while there is no such window."""
        rc, out = self.run("window_controls.exe", caption)
        rows = [line.split(" ", 5) for line in out.splitlines()] if rc == 0 else []
        return [(int(r[0]), tuple(int(v) for v in r[1:5]), r[5] if len(r) > 5 else "")
                for r in rows if len(r) >= 5]

    def control_texts(self, caption, control_id):
        return [text for cid, _, text in self.controls(caption) if cid == control_id]

    def wait_control(self, caption, control_id, start, timeout=10):
        """Waits until a control's text (a list box's top item) starts with
        start; returns all its texts."""
        texts = []

        def shows():
            texts[:] = self.control_texts(caption, control_id)
            return bool(texts) and texts[0].startswith(start)
        if not wait_for(shows, timeout, interval=0.3):
            raise AssertionError(f"control {control_id} of '{caption}' shows {texts}, not '{start}'")
        return texts

    def click_control(self, caption, *texts):
        """Real clicks, one after the other, in the middle of the controls that
        show these texts."""
        controls = self.controls(caption)
        for text in texts:
            boxes = [box for _, box, shown in controls if shown == text]
            if not boxes:
                raise AssertionError(f"no control shows '{text}' in '{caption}'")
            left, top, right, bottom = boxes[0]
            self.click((left + right) // 2, (top + bottom) // 2)

    # The tray menu -----------------------------------------------------------

    def open_tray_menu(self, keep_as=None, timeout=5):
        """Right-clicks our tray icon and returns the menu that opens (a
        PopupMenu); fails unless it is shaped as ours: three items, the last
        after a separator (their labels are told apart by what they do)."""
        x, y = self.tray_icon_centre()
        # The icon's tip, shown while the pointer rests on it, would count as
        # part of the menu: the pointer goes away and the screen settles first.
        before = self.settled_screen("before-menu")
        self.click(x, y, 3)
        menu = wait_for(lambda: screen.find_popup_menu(before, self.screenshot()), timeout)
        if keep_as or menu is None:
            self.screenshot(keep_as or "no-menu")
        if menu is None:
            raise AssertionError("no menu opened on a right click on the tray icon "
                                 f"(see before-menu.png and no-menu.png in {self.artifacts})")
        menu.before = before
        if len(menu.items) != len(TRAY_MENU_ITEMS) or len(menu.separators) != 1 \
                or not menu.items[1][1] < menu.separators[0] < menu.items[2][0]:
            raise AssertionError(f"the menu is not About, AutoRun, separator, Exit: items "
                                 f"{menu.items}, separators {menu.separators}")
        return menu

    def choose(self, menu, item):
        """Clicks an item of the open tray menu, by its name in TRAY_MENU_ITEMS."""
        self.click(*menu.item_centre(TRAY_MENU_ITEMS.index(item)))

    def menu_closed(self, menu, timeout=5):
        """Waits until the menu is no longer on the screen; true if it went."""
        return wait_for(lambda: not menu.shown_in(self.screenshot()), timeout)


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
