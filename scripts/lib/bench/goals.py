"""The table's rows and their goals. Goals are ratios to what is the limit,
the bare anchor or the direct post, measured in the same run; a missed goal
is marked in the report and never fails the run."""

FULL = {"cpu_seconds": 60, "rounds": 10, "pairs": 50, "cycles": 200, "lifecycles": 10,
        "phonestate_seconds": 5, "hid_rounds": 5, "hid_keys": 60}
QUICK = {"cpu_seconds": 3, "rounds": 1, "pairs": 5, "cycles": 2, "lifecycles": 1,
         "phonestate_seconds": 1, "hid_rounds": 1, "hid_keys": 10}
COPIES = 10

CPU_RATIO = 1.5
START_RATIO = 1.2
P50_RATIO, P99_RATIO = 1.2, 1.5
KEY_HOLD_MS, HOLD_ERROR_MS = 100, 5
# One page either way is the measurement's noise, not growth.
GROWTH_KB = 4
SIZE_LIMITS = {"win32": 64 * 1024, "win64": 96 * 1024}

# The builds, in the order measured: the one that runs here first.
BUILDS = (("win64", "64-bit build"), ("win32", "32-bit build (shipped)"))

# key, figure, goal; in the order printed.
ROWS = [
    ("size", "`Tandivorex.exe`", "≤ {size_limit:,} bytes"),
    ("cpu_bare", "CPU, bare program with two 1-second timers (the anchor)", "—"),
    ("cpu_bare_find", "CPU, the same with `FindWindowA` each second", "—"),
    ("cpu_refusing", "CPU, handset absent: a library that refuses at once", f"≤ {CPU_RATIO}× bare"),
    ("cpu_hid_absent", "CPU, no USB phone: the HID edition, no HID telephony device", f"≤ {CPU_RATIO}× bare"),
    ("cpu_absent", "CPU, handset absent: stand-in library and simulated device",
     "— (the stand-in's share apart)"),
    ("cpu_open", "CPU, handset open, no softphone", f"≤ {CPU_RATIO}× bare"),
    ("cpu_found", "CPU, handset and softphone found", f"≤ {CPU_RATIO}× bare"),
    ("start", "start → host window (`*Tandivorex`)", f"≤ {START_RATIO}× bare start"),
    ("exit", "`IDOK` → process gone", "—"),
    ("digit_p50", "event → `WM_KEYDOWN`, digit (type 11), p50", f"≤ {P50_RATIO}× direct"),
    ("digit_p99", "event → `WM_KEYDOWN`, digit (type 11), p99", f"≤ {P99_RATIO}× direct"),
    ("ext_p50", "event → `WM_KEYDOWN`, extended key (type 4), p50", f"≤ {P50_RATIO}× direct"),
    ("ext_p99", "event → `WM_KEYDOWN`, extended key (type 4), p99", f"≤ {P99_RATIO}× direct"),
    ("hid_p50", "HID edition: key pad report → `WM_KEYDOWN`, digit, p50", f"≤ {P50_RATIO}× bare HID reader"),
    ("hid_p99", "HID edition: key pad report → `WM_KEYDOWN`, digit, p99", f"≤ {P99_RATIO}× bare HID reader"),
    ("hold", "key hold (up − down at the window), p99 of the error", f"{KEY_HOLD_MS} ± {HOLD_ERROR_MS} ms"),
    ("rss_keys", "working set (VmRSS), after the keys", "no growth"),
    ("anon_keys", "private bytes (RssAnon), after the keys", "no growth"),
    ("rss_cycles", "working set (VmRSS), after the plug/unplug cycles", "no growth"),
    ("anon_cycles", "private bytes (RssAnon), after the plug/unplug cycles", "no growth"),
    ("handles", "handles", "no growth"),
    ("gdi", "GDI objects", "no growth"),
    ("phonestate", "phone-state messages (`WM_USER+102`) per second", "every answer right"),
    ("copies", f"{COPIES} copies started at once", "1 left"),
]
