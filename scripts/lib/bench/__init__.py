"""scripts/bench: what the program costs, measured against what is the limit.

Run as `python3 -m scripts.lib.bench ROOT [--quick]` from the source root.
How each figure is taken is written in docs/bench.md.

    measure  readings of a running process: CPU, memory; percentiles
    goals    the table's rows, their goals as ratios, and the counts run
    phases   one build's run in a Wine session, phase by phase
    latency  handset events against a direct post, and the key hold
    report   the tables, the latency plot and build/bench/report.md
"""
