"""The driver of scripts/bench: each build that this machine runs, measured in
a Wine session of its own; the report in build/bench/report.md."""

import os
import shutil
import subprocess
import sys
import time

from scripts.lib.bench import goals, report
from scripts.lib.bench.measure import loadavg
from scripts.lib.bench.phases import BuildBench
from scripts.lib.desktop import WineDesktop


def cannot_run(root, build):
    """Why this machine cannot run the build, or None."""
    if build != "win32":
        return None
    probe = subprocess.run([os.path.join(root, "scripts", "lib", "probe-32bit")],
                           capture_output=True, text=True)
    if probe.returncode == 0:
        return None
    return probe.stdout.strip() or "the 32-bit probe failed"


def main(argv):
    quick = "--quick" in argv[1:]
    counts = goals.QUICK if quick else goals.FULL
    root = os.path.abspath(argv[0])
    out = os.path.join(root, "build", "bench")
    started = float(os.environ.get("BENCH_STARTED", time.time()))
    load_before = loadavg()
    begun = time.monotonic()

    def say(text):
        print(f"bench: {time.monotonic() - begun:5.0f} s  {text}", flush=True)

    # What an earlier run left: the logs are appended to, and read from the start.
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        path = os.path.join(out, name)
        if name in dict(goals.BUILDS):
            shutil.rmtree(path)
        elif name.endswith((".dat", ".png")) or name == "report.md":
            os.remove(path)
    sections, wine_version = [], ""
    for build, title in goals.BUILDS:
        why = cannot_run(root, build)
        if why:
            say(f"{title}: not run: {why}")
            bench = BuildBench(root, build, out, counts, None, say)
            bench.size()
            bench.not_run = why
            sections.append((title, report.table(build, bench), None, None, []))
            continue
        say(f"{title}")
        bin_dir = os.path.join(root, "build", build, "bin")
        artifacts = os.path.join(out, build)
        with WineDesktop(bin_dir, artifacts, prefix=os.path.join(out, "wineprefix"),
                         device_log=os.path.join(artifacts, "device.log")) as desk:
            wine_version = subprocess.run(["wine", "--version"], capture_output=True, text=True,
                                          env=desk.env).stdout.strip()
            bench = BuildBench(root, build, artifacts, counts, desk, say)
            bench.run()
            say("measured")
        latencies = {}
        for turns in (bench.handset, bench.hid):
            latencies.update(turns.latencies if turns else {})
        image, no_plot = report.plot(out, build, latencies)
        sections.append((title, report.table(build, bench), image, no_plot, bench.notes))
    report.write(out, quick, counts, sections, wine_version, load_before, started)
    for title, text, *_ in sections:
        print(f"\n{title}\n{text}")
    print(f"bench: report in {os.path.join(out, 'report.md')}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
