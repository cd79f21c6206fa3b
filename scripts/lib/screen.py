"""The Wine desktop read the way a person reads it: screenshots of the
desktop window, the tray icon's status told from its colours, and popup
menus found and parsed from what changed between two shots."""

import subprocess
from collections import Counter

# The icon colours drawn by res/icons/draw_icons.py.
BADGE_GREEN = (46, 160, 67)
DARK_GREEN = (10, 70, 25)
RED = (220, 30, 30)
GREY = (150, 150, 150)

# The tray icon's statuses, as tray_status tells them.
NO_HANDSET = "no handset"
NO_SOFTPHONE = "no softphone"
CONNECTED = "connected"
NO_ICON = "no icon"

# The task bar: the bottom rows of the desktop.
TASK_BAR_HEIGHT = 40


def grab(window, path, env=None):
    """A screenshot of an X window (or "root"), saved as PNG at path."""
    subprocess.run(["import", "-window", window, path], check=True, stderr=subprocess.DEVNULL, env=env)
    return Screenshot(path)


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


def tray_icon_area(shot):
    """Where our icon is on the task bar (its points), from its colours."""
    top = shot.height - TASK_BAR_HEIGHT
    return shot.find(BADGE_GREEN, top, shot.height) + shot.find(GREY, top, shot.height)


def tray_status(shot):
    """Which status the tray icon shows, read from its colours alone."""
    top = shot.height - TASK_BAR_HEIGHT
    count = {c: len(shot.find(c, top, shot.height)) for c in (BADGE_GREEN, DARK_GREEN, RED, GREY)}
    if count[RED] >= 20 and count[BADGE_GREEN] >= 20:
        return NO_HANDSET
    if count[GREY] >= 20 and count[BADGE_GREEN] >= 20 and count[DARK_GREEN] == 0:
        return NO_SOFTPHONE
    if count[DARK_GREEN] >= 20 and count[BADGE_GREEN] >= 20 and count[RED] == 0:
        return CONNECTED
    return NO_ICON
