"""The report: a table a build, the latency plot, and build/bench/report.md,
which points to docs/bench.md for how each figure is taken."""

import os
import subprocess
import time

from scripts.lib.bench import goals
from scripts.lib.bench.measure import loadavg

MET = {True: "yes", False: "**MISSED**", None: ""}
# The latencies plotted: kind -> (panel title, anchor).
KINDS = {"digit": ("digit (event 11)", "direct post"), "ext": ("extended key (event 4)", "direct post"),
         "hid": ("HID edition, key pad digit", "bare HID reader")}


def table(build, bench):
    """The build's rows; those it could not measure say why."""
    lines = [("figure", "measured", "goal", "met")]
    for key, figure, goal in goals.ROWS:
        goal = goal.format(size_limit=goals.SIZE_LIMITS[build])
        if key in bench.results:
            measured, met = bench.results[key]
        elif bench.not_run:
            continue
        else:
            measured, met = f"not measured: {bench.failures.get(key, 'not reached')}", False
        lines.append((figure, measured, goal, MET[met]))
    if bench.not_run:
        lines.append(("everything run under Wine", f"not run: {bench.not_run}", "", ""))
    widths = [max(len(line[i]) for line in lines) for i in range(4)]
    rows = ["| " + " | ".join(cell.ljust(w) for cell, w in zip(line, widths)) + " |" for line in lines]
    rows.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    return "\n".join(rows)


def plot(out, build, latencies):
    """The latency distributions, program against its anchor, as a PNG;
    returns its file name, or why there is none."""
    # The HID edition's panel where its keys were measured.
    kinds = [k for k in KINDS if k != "hid" or latencies.get(("hid", "program"))]
    series = []
    for kind in kinds:
        for side in ("program", "direct"):
            values = sorted(latencies.get((kind, side), []))
            path = os.path.join(out, f"latency-{build}-{kind}-{side}.dat")
            with open(path, "w") as f:
                if values:
                    f.write(f"{values[0]:.4f} 0\n")
                for i, v in enumerate(values):
                    f.write(f"{v:.4f} {(i + 1) / len(values):.5f}\n")
            series.append((kind, path, len(values)))
    if not all(n for _, _, n in series):
        return None, "no latencies to plot"
    name = f"latency-{build}.png"
    script = [
        f"set terminal pngcairo size {550 * len(kinds)},440 font 'sans,10'",
        f"set output '{os.path.join(out, name)}'",
        f"set multiplot layout 1,{len(kinds)} "
        f"title 'Handset event or HID report → WM\\_KEYDOWN dequeued in the softphone ({build})'",
        "set logscale x", "set grid", "set key bottom right", "set yrange [0:1]",
        "set xlabel 'latency, ms (log scale)'", "set ylabel 'fraction of events at most this late'",
    ]
    for kind in kinds:
        program, direct = [p for k, p, _ in series if k == kind]
        title, anchor = KINDS[kind]
        script += [f"set title '{title}'",
                   f"plot '{program}' using 1:2 with steps lw 2 title 'Tandivorex', "
                   f"'{direct}' using 1:2 with steps lw 2 title '{anchor}'"]
    script.append("unset multiplot")
    try:
        subprocess.run(["gnuplot"], input="\n".join(script), text=True, check=True,
                       capture_output=True, timeout=60)
    except (OSError, subprocess.SubprocessError) as e:
        return None, f"gnuplot failed: {e}"
    return name, None


def write(out, quick, counts, sections, wine_version, load_before, started):
    """sections: (title, table, plot file or None, why no plot, notes) a build."""
    lines = [
        f"# Tandivorex bench ({'--quick' if quick else 'full'})", "",
        f"{time.strftime('%Y-%m-%d %H:%M')}, {os.cpu_count()} cores, {wine_version}; "
        f"load average before: {load_before}, after: {loadavg()}; the whole run took "
        f"{time.time() - started:.0f} s.", "",
        f"Counts: CPU over {counts['cpu_seconds']} s in each state; {counts['rounds']} round(s) of "
        f"{counts['pairs']} digits and {counts['pairs']} extended keys, by the program and by the "
        f"direct post; {counts['hid_rounds']} round(s) of {counts['hid_keys']} key pad digits by the "
        f"HID edition and by the bare HID reader; {counts['lifecycles']} start(s) of each; "
        f"{counts['cycles']} plug/unplug cycles; phone states for {counts['phonestate_seconds']} s.", "",
        "How each figure is taken, and what the anchors are: "
        "[docs/bench.md](../../docs/bench.md).", "",
    ]
    if quick:
        lines += ["With `--quick` the counts are small and the figures rough: it shows that the "
                  "bench runs; `scripts/bench` measures.", ""]
    for title, text, image, no_plot, notes in sections:
        lines += [f"## {title}", "", text, ""]
        if image:
            lines += [f"![Latency distributions, program against its anchors]({image})", ""]
        elif no_plot:
            lines += [f"No plot: {no_plot}.", ""]
        lines += [f"- {note}" for note in notes]
        if notes:
            lines.append("")
    with open(os.path.join(out, "report.md"), "w") as f:
        f.write("\n".join(lines))
