"""Readings of running Wine processes, from Linux's side, and percentiles."""

import ctypes
import os
import time


def percentile(values, q):
    """The q-th percentile, interpolated between the two nearest ranks."""
    values = sorted(values)
    rank = (len(values) - 1) * q / 100
    low = int(rank)
    high = min(low + 1, len(values) - 1)
    return values[low] + (values[high] - values[low]) * (rank - low)


def cpu_clock_ns(pid):
    """The run time of all of a process's threads, ended ones too: the sum the
    kernel keeps of what each thread's schedstat shows."""
    libc = ctypes.CDLL(None, use_errno=True)
    clock = ctypes.c_int()
    if libc.clock_getcpuclockid(pid, ctypes.byref(clock)) != 0:
        raise OSError(ctypes.get_errno(), f"no CPU clock for process {pid}")
    return time.clock_gettime_ns(clock.value)


def live_threads_ns(pid):
    """Run time per live thread, from /proc/PID/task/*/schedstat."""
    times = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                times[tid] = int(f.read().split()[0])
        except OSError:
            pass  # the thread has just ended
    return times


class CpuWindow:
    """CPU of several processes over the same seconds, in ms a minute: what
    each used, and what threads that ended meanwhile used."""

    def __init__(self, pids):
        self.pids = dict(pids)  # name -> pid
        self.start = {name: (live_threads_ns(pid), cpu_clock_ns(pid)) for name, pid in self.pids.items()}
        self.began = time.monotonic()

    def close(self):
        seconds = time.monotonic() - self.began
        per_minute = 60 / seconds / 1e6
        used = {}
        for name, pid in self.pids.items():
            threads0, total0 = self.start[name]
            threads1, total1 = live_threads_ns(pid), cpu_clock_ns(pid)
            total = (total1 - total0) * per_minute
            live = sum(t - threads0.get(tid, 0) for tid, t in threads1.items()) * per_minute
            used[name] = (total, total - live)
        return used


def memory_kb(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            name, _, value = line.partition(":")
            if name in ("VmRSS", "RssAnon"):
                fields[name] = int(value.split()[0])
    return fields


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def probe_fields(output):
    """name=value pairs printed by bench-probe, from its last line that has them."""
    for line in reversed(output.splitlines()):
        pairs = dict(p.split("=", 1) for p in line.split() if "=" in p)
        if pairs:
            return pairs
    raise RuntimeError(f"bench-probe printed no figures: {output.strip()}")
