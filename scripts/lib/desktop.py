"""Drives Tandivorex and its stand-ins in a running Wine desktop, and reads
the tray the way a person does: from a screenshot of the task bar.

Used by the end-to-end tests and by the demo. Expects WINEPREFIX and DISPLAY of
a session made by wine-session.sh, whose default desktop every process joins.
"""

import os
import subprocess
import tempfile
import time
from collections import Counter

# The icon colours drawn by res/icons/draw_icons.py.
BADGE_GREEN = (46, 160, 67)
DARK_GREEN = (10, 70, 25)
RED = (220, 30, 30)
GREY = (150, 150, 150)

NO_HANDSET = "no handset"
NO_SOFTPHONE = "no softphone"
CONNECTED = "connected"
NO_ICON = "no icon"

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


def wine_pids(prefix, name):
    """The Linux processes running the Windows program name in this Wine prefix."""
    pids = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/comm") as f:
                if f.read().strip() != name:
                    continue
            with open(f"/proc/{entry}/environ", "rb") as f:
                if f"WINEPREFIX={prefix}".encode() in f.read().split(b"\0"):
                    pids.append(int(entry))
        except OSError:
            pass  # ended while we looked
    return pids


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

    def changed_points(self, other, top=0, bottom=None):
        """The points, within rows [top, bottom), that differ from another shot
        of the same size."""
        bottom = self.height if bottom is None else bottom
        points = set()
        row = 3 * self.width
        for y in range(max(top, 0), min(bottom, self.height)):
            mine, theirs = self.rgb[y * row:(y + 1) * row], other.rgb[y * row:(y + 1) * row]
            if mine != theirs:
                points.update((x, y) for x in range(self.width)
                              if mine[3 * x:3 * x + 3] != theirs[3 * x:3 * x + 3])
        return points

    def changed_box(self, other, top=0, bottom=None):
        """(left, top, right, bottom), inclusive, of all that differs from
        another shot within rows [top, bottom); None if nothing does."""
        points = self.changed_points(other, top, bottom)
        if not points:
            return None
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        return min(xs), min(ys), max(xs), max(ys)

    def changed_areas(self, other):
        """The boxes (inclusive) of the connected areas that differ from another
        shot, largest first: each new or changed window apart."""
        points = self.changed_points(other)
        boxes = []
        while points:
            todo = [points.pop()]
            xs, ys = [todo[0][0]], [todo[0][1]]
            while todo:
                px, py = todo.pop()
                for n in ((px + 1, py), (px - 1, py), (px, py + 1), (px, py - 1)):
                    if n in points:
                        points.remove(n)
                        todo.append(n)
                        xs.append(n[0])
                        ys.append(n[1])
            boxes.append((min(xs), min(ys), max(xs), max(ys)))
        return sorted(boxes, key=lambda b: (b[2] - b[0] + 1) * (b[3] - b[1] + 1), reverse=True)


class PopupMenu:
    """A popup menu as drawn in a screenshot: a framed light box whose items are
    the bands of rows with ink, and whose separators are thin lines across it."""

    def __init__(self, shot, box):
        self.shot = shot
        self.before = None  # the shot before it opened, when known
        self.left, self.top, self.right, self.bottom = box
        inner = range(self.left + 3, self.right - 2)
        majority = []
        for y in range(self.top + 1, self.bottom):
            colour, count = Counter(shot.pixel(x, y) for x in inner).most_common(1)[0]
            majority.append((y, colour, len(inner) - count))
        self.background = Counter(c for _, c, _ in majority).most_common(1)[0][0]
        # Rows of another colour: a thin run is a separator, a thick one the
        # highlight of the item under the pointer.
        self.separators, thin = [], set()
        run = []
        for y, colour, _ in majority + [(None, self.background, 0)]:
            if colour != self.background:
                run.append(y)
                continue
            if 0 < len(run) <= 3:
                self.separators.append(sum(run) // len(run))
                thin.update(run)
            run = []
        self.items = []
        for y, _, ink in majority:
            if ink == 0 or y in thin:
                continue
            if self.items and y - self.items[-1][1] <= 2:
                self.items[-1][1] = y
            else:
                self.items.append([y, y])
        self.items = [tuple(band) for band in self.items]

    def __repr__(self):
        return f"menu at {self.left},{self.top}-{self.right},{self.bottom} with items at rows {self.items}"

    def ink_left(self, index):
        """The leftmost x of anything drawn in an item's band."""
        top, bottom = self.items[index]
        xs = []
        for y in range(top, bottom + 1):
            row = [self.shot.pixel(x, y) for x in range(self.left + 3, self.right - 2)]
            colour = Counter(row).most_common(1)[0][0]
            xs += [self.left + 3 + i for i, c in enumerate(row) if c != colour]
        return min(xs)

    def marked(self, index):
        """Whether an item has a mark (a check) left of where the others' text starts."""
        others = [self.ink_left(i) for i in range(len(self.items)) if i != index]
        return self.ink_left(index) < min(others) - 3

    def shown_in(self, shot):
        """Whether a later shot still has this menu's frame where it was."""
        colour = self.shot.pixel(self.left, self.top)
        return all(shot.pixel(x, y) == colour
                   for x in (self.left, self.right) for y in range(self.top, self.bottom + 1)) \
            and all(shot.pixel(x, y) == colour
                    for y in (self.top, self.bottom) for x in range(self.left, self.right + 1))

    def item_centre(self, index):
        top, bottom = self.items[index]
        return (self.left + self.right) // 2, (top + bottom) // 2


def find_popup_menu(before, after):
    """The popup menu that appeared between two shots, or None: a changed area
    that is a light box framed by one colour."""
    for box in after.changed_areas(before):
        left, top, right, bottom = box
        if right - left < 40 or bottom - top < 30:
            continue
        frame = {after.pixel(x, y) for x in (left, right) for y in range(top, bottom + 1)}
        frame |= {after.pixel(x, y) for y in (top, bottom) for x in range(left, right + 1)}
        if len(frame) == 1:
            menu = PopupMenu(after, box)
            if sum(menu.background) >= 3 * 200:
                return menu
    return None


class Desktop:
    """Processes started in the Wine session, and what the screen shows."""

    def __init__(self, bin_dir, artifacts_dir):
        self.bin_dir = os.path.abspath(bin_dir)
        self.artifacts = os.path.abspath(artifacts_dir)
        os.makedirs(self.artifacts, exist_ok=True)
        self.processes = []
        self.phones = 0

    # Processes ---------------------------------------------------------------

    def exe(self, name):
        return os.path.join(self.bin_dir, name)

    def start(self, name, *args, wine_debug=None):
        """Starts a Windows program that keeps running; its output, with Wine's
        messages of the channels in wine_debug, goes to a log (output())."""
        log = open(os.path.join(self.artifacts, f"{name}.{len(self.processes)}.log"), "w")
        env = dict(os.environ, WINEDEBUG=wine_debug) if wine_debug else None
        # Wine's own helpers inherit our descriptors: never give them a pipe.
        proc = subprocess.Popen(["wine", self.exe(name), *args], stdin=subprocess.DEVNULL,
                                stdout=log, stderr=subprocess.STDOUT, env=env)
        self.processes.append((proc, log))
        return proc

    def output(self, proc):
        """What a program started here has written so far."""
        (log,) = [log for p, log in self.processes if p is proc]
        log.flush()
        with open(log.name, errors="replace") as f:
            return f.read()

    def run(self, name, *args, timeout=30):
        """Runs a Windows command line program to its end: (exit code, output)."""
        with tempfile.TemporaryFile() as out:
            rc = subprocess.run(["wine", self.exe(name), *args], stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
            out.seek(0)
            text = out.read().decode(errors="replace").replace("\r\n", "\n")
        if CRASHED in text:
            raise AssertionError(f"{name} {' '.join(args)} crashed: {text}")
        return rc, text

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

    def wine(self, program, *args, timeout=30):
        """Runs one of Wine's own programs (reg, regedit...): (exit code, output)."""
        with tempfile.TemporaryFile() as out:
            rc = subprocess.run(["wine", program, *args], stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
            out.seek(0)
            return rc, out.read().decode(errors="replace").replace("\r\n", "\n")

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
        crashed = []
        for _, log in self.processes:
            with open(log.name, errors="replace") as f:
                if CRASHED in f.read():
                    crashed.append(log.name)
        self.processes = []
        if crashed:
            raise AssertionError(f"a program crashed; see {', '.join(crashed)}")

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

    def settled_screen(self, name, timeout=3):
        """A shot taken with the pointer in the desktop's top right corner, once
        nothing moves any more (or the time is up)."""
        window = self.desktop_window()
        shot = self.screenshot(name)
        subprocess.run(["xdotool", "mousemove", "--window", window, str(shot.width - 3), "3"],
                       check=True)
        deadline = time.monotonic() + timeout
        while True:
            time.sleep(0.3)
            last, shot = shot, self.screenshot(name)
            if shot.changed_box(last) is None or time.monotonic() >= deadline:
                return shot

    def key(self, *names):
        """Keys pressed on the keyboard; they reach the window Wine has in front."""
        # X's focus may rest on the task bar's own window, which would take them.
        window = self.desktop_window()
        subprocess.run(["xdotool", "windowfocus", window], check=True)
        subprocess.run(["xdotool", "key", *names], check=True)

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
        menu = wait_for(lambda: find_popup_menu(before, self.screenshot()), timeout)
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
