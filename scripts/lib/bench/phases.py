"""One build measured in a Wine session, phase by phase. A phase that breaks
says why in its rows, and the phases after it that need what it left
(a running program, a warm-up) are not reached."""

import os
import shutil
import time

from scripts.lib.bench import goals
from scripts.lib.bench.goals import COPIES
from scripts.lib.bench.hid_latency import MODEL, HidPhone
from scripts.lib.bench.latency import Handset, INTERVAL_MS
from scripts.lib.bench.measure import CpuWindow, memory_kb, percentile, probe_fields
from scripts.lib.desktop import wait_for

NOT_SEEN = "n/a: under Wine 8, {} returns 0 for another process"
ANCHORS = ("bench-bare.exe", "bench-bare-find.exe")
HID_LIBRARY = os.path.join("..", "hid", "QVUSBTEL.dll")  # from the bin folder


class BuildBench:
    def __init__(self, root, build, out, counts, desk, say):
        self.bin_dir = os.path.join(root, "build", build, "bin")
        self.build = build
        self.out = out
        self.counts = counts
        self.desk = desk
        self.say = say
        self.results = {}  # key -> (measured, met: True, False or None)
        self.failures = {}  # key -> why it was not measured
        self.notes = []
        self.not_run = None  # why this machine cannot run the build
        self.handset = None
        self.hid = None
        self.anchor_pids = {}
        self.anchor_procs = []
        self.anchor_cpu = []  # (bare, with FindWindowA) of each window
        self.pid = None
        self.refusing_ratio = None
        self.memory_before = None
        self.cycles_done = 0

    def set(self, key, measured, met=None):
        self.results[key] = (measured, met)

    def probe(self, *args, timeout=60):
        rc, out = self.desk.run("bench-probe.exe", *[str(a) for a in args], timeout=timeout)
        if rc != 0:
            raise RuntimeError(f"bench-probe {' '.join(map(str, args))} failed: {out.strip()}")
        return out

    # The run -----------------------------------------------------------------

    def run(self):
        """Each phase with the rows it fills; False from a phase ends the run."""
        phases = [
            (self.size, ["size"]),
            (self.lifecycle, ["start", "exit"]),
            (self.copies, ["copies"]),
            (self.start_anchors, ["cpu_bare", "cpu_bare_find"]),
            (self.cpu_refusing, ["cpu_refusing"]),
            (self.cpu_hid_absent, ["cpu_hid_absent"]),
            (self.start_program, []),
            (self.cpu_absent, ["cpu_absent"]),
            (self.cpu_open, ["cpu_open"]),
            (self.cpu_found, ["cpu_found"]),
            (self.stop_anchors, []),
            (self.warm_up, []),
            (self.latency, ["digit_p50", "digit_p99", "ext_p50", "ext_p99", "hold"]),
            (self.memory_after_keys, ["rss_keys", "anon_keys"]),
            (self.cycles, ["rss_cycles", "anon_cycles"]),
            (self.memory_after_cycles, ["rss_cycles", "anon_cycles"]),
            (self.phone_states, ["phonestate"]),
            (self.hid_latency, ["hid_p50", "hid_p99"]),
        ]
        self.set("handles", NOT_SEEN.format("GetProcessHandleCount"))
        self.set("gdi", NOT_SEEN.format("GetGuiResources"))
        try:
            for work, keys in phases:
                if not self.phase(work, keys):
                    break
        finally:
            self.resume_programs()

    def resume_programs(self):
        for turns in (self.handset, self.hid):
            if turns is not None:
                turns.resume()

    def phase(self, work, keys):
        try:
            return work() is not False
        except Exception as e:  # noqa: BLE001 - any failure is reported, never fatal
            why = str(e).strip().splitlines()[0] if str(e).strip() else type(e).__name__
            self.say(f"not measured ({why})")
            self.resume_programs()
            for key in keys:
                self.failures.setdefault(key, why)
            # What follows a failed start or warm-up has nothing to measure.
            return work not in (self.start_program, self.warm_up)

    # Start, exit and copies ----------------------------------------------------

    def size(self):
        path = os.path.join(self.bin_dir, "Tandivorex.exe")
        size = os.path.getsize(path)
        self.set("size", f"{size:,} bytes", size <= goals.SIZE_LIMITS[self.build])

    def lifecycle(self):
        count = self.counts["lifecycles"]
        self.say(f"start and exit, {count} times, each beside the bare program's")
        out = self.probe("lifecycle", count, timeout=60 * count)
        runs = [probe_fields(line) for line in out.splitlines() if "start_ms=" in line]

        def median(name):
            return percentile([float(r[name]) for r in runs], 50)

        mine, bare = median("program_start_ms"), median("bare_start_ms")
        self.set("start", f"median {mine:.0f} ms against {bare:.0f} ms bare: {mine / bare:.2f}× "
                          f"({len(runs)} run{'s' if len(runs) != 1 else ''} each)", mine / bare <= goals.START_RATIO)
        worst = max(float(r["program_exit_ms"]) for r in runs)
        self.set("exit", f"median {median('program_exit_ms'):.0f} ms, max {worst:.0f} ms "
                         f"(bare: {median('bare_exit_ms'):.0f} ms)")

    def copies(self):
        self.say(f"{COPIES} copies at once")
        got = probe_fields(self.probe("copies", COPIES, timeout=90))
        left = int(got["running"])
        self.set("copies", f"{left} left, {got['windows']} host window(s); "
                           f"the others gone in {float(got['settled_ms']):.0f} ms", left == 1)

    # CPU, each state beside the anchors in the same seconds ---------------------

    def start_anchors(self):
        for name in ANCHORS:
            self.anchor_procs.append(self.desk.start(name))
            found = wait_for(lambda: self.desk.pids(name), 10)
            if len(found) != 1:
                raise RuntimeError(f"expected one {name} process, found {len(found)}")
            self.anchor_pids[name] = found[0]

    def cpu_window(self, program_pid):
        if len(self.anchor_pids) != len(ANCHORS):
            raise RuntimeError("the anchors are not running")
        seconds = self.counts["cpu_seconds"]
        window = CpuWindow({"program": program_pid, **self.anchor_pids})
        time.sleep(seconds)
        used = window.close()
        bare, find = used["bench-bare.exe"][0], used["bench-bare-find.exe"][0]
        self.anchor_cpu.append((bare, find))
        total, ended = used["program"]
        ratio = total / bare if bare > 0 else float("inf")
        self.rows_for_anchors()
        return total, ended, bare, ratio

    def rows_for_anchors(self):
        bares = [b for b, _ in self.anchor_cpu]
        finds = [f for _, f in self.anchor_cpu]
        self.set("cpu_bare", f"{sum(bares) / len(bares):.1f} ms/min "
                             f"({min(bares):.1f}–{max(bares):.1f} over {len(bares)} window(s))")
        ratios = [f / b for b, f in self.anchor_cpu]
        self.set("cpu_bare_find", f"{sum(finds) / len(finds):.1f} ms/min: "
                                  f"{min(ratios):.2f}–{max(ratios):.2f}× bare")

    def cpu_state(self, key, program_pid, what):
        self.say(f"CPU, {what}, {self.counts['cpu_seconds']} s beside the anchors")
        total, ended, bare, ratio = self.cpu_window(program_pid)
        self.set(key, f"{total:.1f} ms/min: {ratio:.2f}× bare ({bare:.1f}); "
                      f"{ended:.1f} in threads that ended meanwhile", ratio <= goals.CPU_RATIO)
        return total, ratio

    def program_beside(self, key, library):
        """Starts a copy of the program with another QVUSBTEL.dll in its folder,
        as a user's unpacked download has it; its process id."""
        folder = os.path.join(self.out, key)
        os.makedirs(folder, exist_ok=True)
        shutil.copy(os.path.join(self.bin_dir, "Tandivorex.exe"), folder)
        shutil.copy(os.path.join(self.bin_dir, library), folder)
        self.desk.start(os.path.join(folder, "Tandivorex.exe"))
        return self.program_pid()

    def quit_program(self):
        self.probe("quit")
        wait_for(lambda: not self.desk.pids("Tandivorex.exe"), 10)

    def cpu_beside(self, key, library, what):
        """A copy of the program beside another library: its CPU beside the anchors."""
        try:
            pid = self.program_beside(key, library)
            time.sleep(3)  # past its start, into its steady state
            return self.cpu_state(key, pid, what)[1]
        finally:
            self.quit_program()

    def cpu_refusing(self):
        self.refusing_ratio = self.cpu_beside("cpu_refusing", os.path.join("refusing", "QVUSBTEL.dll"),
                                              "handset absent, refusing library")

    def cpu_hid_absent(self):
        # No virtual phone is plugged: the HID edition watches for one.
        self.cpu_beside("cpu_hid_absent", HID_LIBRARY, "no USB phone, HID edition")

    def program_pid(self):
        found = wait_for(lambda: self.desk.pids("Tandivorex.exe"), 10)
        if len(found) != 1:
            raise RuntimeError(f"expected one Tandivorex.exe process, found {len(found)}")
        return found[0]

    def start_program(self):
        self.say("Tandivorex starts; the handset is unplugged")
        self.desk.start("Tandivorex.exe")
        self.pid = self.program_pid()
        time.sleep(3)

    def cpu_absent(self):
        total, ratio = self.cpu_state("cpu_absent", self.pid, "handset absent, simulated device")
        measured, _ = self.results["cpu_absent"]
        if self.refusing_ratio is not None:
            # The program's own, as with the refusing library, against this window's bare.
            share = total - self.refusing_ratio * total / ratio
            measured += f"; the stand-in's share ≈ {share:.1f} ms/min ({ratio - self.refusing_ratio:.2f}× bare)"
        self.set("cpu_absent", measured)

    def cpu_open(self):
        self.desk.sim("plug")
        if not wait_for(lambda: "open" in self.desk.sim("status").split(), 10):
            raise RuntimeError("the program did not open the handset")
        time.sleep(2)
        self.cpu_state("cpu_open", self.pid, "handset open, no softphone")

    def cpu_found(self):
        _, phone_log = self.desk.start_softphone("--pos", "200", "150")
        self.handset = Handset(self.desk, os.path.join(self.out, "device.log"), phone_log)
        self.handset.pid = self.pid
        self.handset.keys_reach_softphone()
        time.sleep(2)
        self.cpu_state("cpu_found", self.pid, "handset and softphone found")

    def stop_anchors(self):
        for proc in self.anchor_procs:
            proc.terminate()
            proc.wait(timeout=10)

    # Keys, memory and phone states -------------------------------------------------

    def warm_up(self):
        """A little of everything the measured runs do, so that what is measured
        afterwards as growth is not the first use of anything."""
        if self.handset is None:
            return False
        self.say("warm-up")
        self.handset.round(self.probe, 2)
        self.probe("cycles", 1, timeout=30)
        self.handset.keys_reach_softphone()
        self.handset.forget()
        self.memory_before = memory_kb(self.pid)

    def latency(self):
        rounds, pairs = self.counts["rounds"], self.counts["pairs"]
        self.say(f"latency: {rounds} round(s) of {2 * pairs} events by the program, then as many "
                 f"by the direct post, {INTERVAL_MS} ms apart")
        for r in range(rounds):
            self.handset.round(self.probe, pairs)
            self.say(f"  round {r + 1} of {rounds} done")
        for kind in ("digit", "ext"):
            self.latency_rows(self.handset, kind, "direct")
        holds = self.handset.holds
        if holds:
            worst = percentile([abs(h - goals.KEY_HOLD_MS) for h in holds], 99)
            self.set("hold", f"{worst:.2f} ms (holds {min(holds):.1f}–{max(holds):.1f} ms, "
                             f"{len(holds)} keys)", worst <= goals.HOLD_ERROR_MS)
        self.note_lost(self.handset, "Events")

    def latency_rows(self, turns, kind, anchor):
        """The p50 and p99 rows of one kind of key, as ratios to the anchor's."""
        program = turns.latencies.get((kind, "program"), [])
        direct = turns.latencies.get((kind, "direct"), [])
        for q, limit in ((50, goals.P50_RATIO), (99, goals.P99_RATIO)):
            key = f"{kind}_p{q}"
            if not program or not direct:
                self.failures[key] = "no key reached the softphone"
                continue
            mine, theirs = percentile(program, q), percentile(direct, q)
            self.set(key, f"{mine:.3f} ms against {theirs:.3f} ms {anchor}: {mine / theirs:.2f}× "
                          f"({len(program)} + {len(direct)} events)", mine / theirs <= limit)

    def note_lost(self, turns, what):
        for side, count in turns.lost.items():
            if count:
                self.notes.append(f"{what} sent for the {side} side that brought no key to the "
                                  f"softphone before the next one went out: {count}.")

    def memory_growth(self, after, what):
        """The working set and private bytes against the warm-up's."""
        now = memory_kb(self.pid)
        for key, field in ((f"rss_{after}", "VmRSS"), (f"anon_{after}", "RssAnon")):
            before = self.memory_before[field]
            self.set(key, f"{before:,} KB → {now[field]:,} KB ({now[field] - before:+,} KB) {what}",
                     now[field] - before <= goals.GROWTH_KB)

    def memory_after_keys(self):
        self.memory_growth("keys", f"after {self.handset.keys_sent:,} keys")

    def cycles(self):
        count = self.counts["cycles"]
        self.say(f"{count} plug/unplug cycles, each waiting for the program to open the handset again")
        got = probe_fields(self.probe("cycles", count, timeout=60 + 5 * count))
        self.cycles_done = int(got["cycles"])
        self.handset.keys_reach_softphone()

    def memory_after_cycles(self):
        self.memory_growth("cycles", f"after {self.cycles_done:,} cycles")

    def phone_states(self):
        seconds = self.counts["phonestate_seconds"]
        self.say(f"phone states for {seconds} s")
        got = probe_fields(self.probe("phonestate", seconds, timeout=60 + seconds))
        rate = int(got["messages"]) / float(got["seconds"])
        wrong = int(got["wrong"])
        self.set("phonestate", f"{rate:,.0f} per second ({got['messages']} sent, "
                               f"{wrong} answered wrong)", wrong == 0)

    # The HID edition's keys -----------------------------------------------------

    def hid_latency(self):
        """The HID edition's copy of the program and the bare HID reader take
        the virtual USB phone in turns, serving the softphone already running."""
        if self.handset is None:
            raise RuntimeError("no softphone is running")
        rounds, keys = self.counts["hid_rounds"], self.counts["hid_keys"]
        self.say(f"HID latency: {rounds} round(s) of {keys} keys by the HID edition, then as many "
                 f"by the bare HID reader, {INTERVAL_MS} ms apart")
        # One copy of the program runs at a time: the stand-in edition's makes way.
        self.quit_program()
        self.hid = HidPhone(self.desk, self.handset.phone_log)
        self.hid.phone("install")
        try:
            self.hid.pid = self.program_beside("hid_latency", HID_LIBRARY)
            self.hid.phone("plug", MODEL)
            self.hid.keys_reach_softphone()
            # The first of everything, in each process, is not what is measured.
            self.hid.round(2)
            self.hid.latencies, self.hid.lost = {}, {}
            for r in range(rounds):
                self.hid.round(keys)
                self.say(f"  round {r + 1} of {rounds} done")
        finally:
            self.resume_programs()
            self.desk.run("hid-phone.exe", "unplug")
            if self.desk.pids("Tandivorex.exe"):
                self.quit_program()
        self.latency_rows(self.hid, "hid", "bare HID reader")
        self.note_lost(self.hid, "Key pad reports")
