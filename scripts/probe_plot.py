"""Plots the probe history, the ten probes' intensity against the step: the
README's picture beside the window's.

usage: /usr/bin/python3 scripts/probe_plot.py LBM_TRACE OUTPUT.png [STEPS]

Runs LBM_TRACE for STEPS steps (150 by default) and reads each probe's
intensity, the number before the slash, from its reports. The plot has a
logarithmic scale from 1e-8 to 1e39: a value printed as 0.000000 has no place
on it and is left out, which the plot says; where a probe's value first
prints as inf, and where first as nan, a marker at the top edge shows it.
Needs python3-matplotlib.
"""
import math
import re
import subprocess
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after the backend is chosen)

PROBES = 10
LOW, HIGH = 1e-8, 1e39
FLOAT_MAX = 3.4028234663852886e38  # beyond it a float is inf
REPORT_LINE = re.compile(r"^Lattice (\d+): (\S+) / (\S+)$")


def read_reports(text):
    """The intensities of every step, a list of ten floats per step."""
    steps, current = [], []
    for line in text.splitlines():
        if line == "":
            if len(current) != PROBES:
                sys.exit("probe_plot: a report of %d lines, not %d" % (len(current), PROBES))
            steps.append(current)
            current = []
            continue
        match = REPORT_LINE.match(line)
        if match is None or int(match.group(1)) != len(current):
            sys.exit("probe_plot: not a probe line: %r" % line)
        current.append(float(match.group(2)))
    return steps


def first_step(values, test):
    """The first step (from 1) whose value passes `test`, or None."""
    return next((step for step, value in enumerate(values, 1) if test(value)), None)


def columns(probes):
    """"columns 2 to 9", "column 0" or "all columns" for a sorted list of probes."""
    if len(probes) == PROBES:
        return "all columns"
    if len(probes) == 1:
        return "column %d" % probes[0]
    if len(probes) > 2 and probes == list(range(probes[0], probes[-1] + 1)):
        return "columns %d to %d" % (probes[0], probes[-1])
    return "columns " + ", ".join(str(p) for p in probes[:-1]) + " and %d" % probes[-1]


def plot(steps, output):
    figure, axes = plt.subplots(figsize=(8, 6), dpi=100)
    colours = plt.get_cmap("viridis")
    zero_ends = []
    for probe in range(PROBES):
        values = [step[probe] for step in steps]
        colour = colours(probe / (PROBES - 1))
        # Only positive finite values have a place on the scale.
        shown = [(step, value) for step, value in enumerate(values, 1) if math.isfinite(value) and value > 0]
        axes.plot([s for s, _ in shown], [v for _, v in shown], color=colour, linewidth=1.4,
                  label="column %d" % probe)
        zero_ends.append(first_step(values, lambda v: v != 0) or len(values) + 1)
        for test, marker in ((math.isinf, "^"), (math.isnan, "x")):
            step = first_step(values, test)
            if step is not None:
                axes.plot([step], [HIGH], marker=marker, color=colour, markersize=8, clip_on=False, linestyle="none")
    # Where the lines end: the largest float, the first inf and the first nan.
    axes.axhline(FLOAT_MAX, color="grey", linestyle="--", linewidth=0.8)
    axes.annotate("largest float, 3.4 \u00d7 10\u00b3\u2078", (1, FLOAT_MAX), xytext=(0, -12),
                  textcoords="offset points", fontsize=9, color="dimgrey")
    lines = []
    for test, marker, name in ((math.isinf, "\u25b2", "inf"), (math.isnan, "\u00d7", "nan")):
        firsts = {}
        for probe in range(PROBES):
            step = first_step([s[probe] for s in steps], test)
            if step is not None:
                firsts.setdefault(step, []).append(probe)
        if firsts:
            axes.axvline(min(firsts), color="grey", linestyle=":", linewidth=1)
            lines.append("%s %s from step %s" % (marker, name, ", ".join(
                "%d (%s)" % (step, columns(probes)) for step, probes in sorted(firsts.items()))))
    if lines:
        axes.annotate("\n".join(lines), (0.02, 0.9), xycoords="axes fraction", va="top", fontsize=9)
    axes.annotate("each probe prints 0.000000 (not drawn) until its line begins, at step %d to %d"
                  % (min(zero_ends), max(zero_ends)), (0.02, 0.03), xycoords="axes fraction", fontsize=9,
                  color="dimgrey")

    axes.set_yscale("log")
    axes.set_ylim(LOW, HIGH)
    axes.set_xlim(0, len(steps) + 1)
    axes.set_xlabel("step")
    axes.set_ylabel("intensity of the probe cell (row 9)")
    axes.set_title("The ten probes' intensity, %d steps from start-up" % len(steps), fontsize=11)
    axes.grid(True, which="major", color="#dddddd", linewidth=0.6)
    axes.legend(loc="center left", fontsize=8, frameon=False, ncol=1)
    figure.tight_layout()
    # No software version in the file: the same plot gives the same bytes.
    figure.savefig(output, metadata={"Software": None})


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    trace, output = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) == 4 else 150
    reports = subprocess.run([trace, str(count)], stdout=subprocess.PIPE, check=True, text=True).stdout
    steps = read_reports(reports)
    if len(steps) != count:
        sys.exit("probe_plot: %d reports from %s, not %d" % (len(steps), trace, count))
    plot(steps, output)


if __name__ == "__main__":
    main()
