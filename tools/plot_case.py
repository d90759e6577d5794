#!/usr/bin/python3
"""Plots output channels of a run into a PNG, one panel per channel.

    tools/plot_case.py [-d folder] [-b base] [-o file.png] channel ...

A channel is its name as the .inf file writes it (VdcSS2), the module and
the name (Battery:BattSoc, for a name that two modules use) or its number
(1 is the first line of the .inf file). The folder defaults to the working
directory, the base name of the output files to "station", the picture to
<base>.png. Reads <base>.inf and <base>_NN.out with numpy and draws with
gnuplot.
"""
import argparse
import os
import subprocess
import sys
import tempfile

try:
    import numpy
except ImportError:
    sys.exit("plot_case.py: numpy is missing: install python3-numpy")


def refuse(what):
    print(f"plot_case.py: {what}", file=sys.stderr)
    sys.exit(2)


def channel_names(inf):
    """(module, name) of every line of the .inf file."""
    try:
        with open(inf) as f:
            return [(line[:17].strip(), line[17:].strip()) for line in f.read().splitlines()]
    except FileNotFoundError:
        # Status 2 as for a wrong argument: the folder is most often missing.
        refuse(f"no file {inf}: give the run's folder with -d")


def find(names, wanted):
    """0-based index of a channel given by number, name or module:name."""
    if wanted.isdigit():
        k = int(wanted) - 1
        if 0 <= k < len(names):
            return k
        sys.exit(f"plot_case.py: no channel {wanted}: the run has {len(names)}")
    module, _, name = wanted.rpartition(":")
    hits = [k for k, (m, n) in enumerate(names) if n == name and module in ("", m)]
    if not hits:
        sys.exit(f"plot_case.py: no channel named {wanted}")
    if len(hits) > 1:
        sys.exit(f"plot_case.py: {wanted} names channels " + ", ".join(f"{names[k][0]}:{name}" for k in hits))
    return hits[0]


def columns(folder, base, k):
    """Time and values of channel k (0-based) from its .out file. A file
    that is missing, or not whole (a run stopped while writing it, a copy
    cut short), is named in one line with status 2."""
    path = os.path.join(folder, f"{base}_{k // 10 + 1:02d}.out")
    try:
        with open(path) as f:
            records = [line.split() for line in f.read().splitlines()[1:] if line.strip()]
    except FileNotFoundError:
        refuse(f"no file {path}")
    if not records:
        refuse(f"{path} holds no records")
    for n, r in enumerate(records):
        if len(r) != len(records[0]):
            refuse(f"{path} is cut short: record {n + 1} holds {len(r)} values, the first {len(records[0])}")
    if k % 10 + 1 >= len(records[0]):
        refuse(f"{path} holds {len(records[0]) - 1} channels, not channel {k + 1}")
    try:
        values = numpy.array(records, dtype=float)
    except ValueError:
        refuse(f"{path} holds a value that is not a number")
    return values[:, 0], values[:, k % 10 + 1]



def panel_range(values):
    """A panel's limits: the data's span and a twentieth of it above and
    below, so that a line along the data's edge stays clear of the frame."""
    lo, hi = float(numpy.min(values)), float(numpy.max(values))
    span = (hi - lo) or abs(hi) or 1.0
    return lo - span / 20, hi + span / 20


def gnuplot_script(out, panels):
    """gnuplot's commands for a picture of panels (label, data file, y range),
    top down. Text is not enhanced, so that the underscores of names such as
    ConvBridge_Avg_6 are drawn, not read as subscripts."""
    script = [f"set terminal png noenhanced size 900,{220 * len(panels) + 60}",
              f"set output '{out}'",
              f"set multiplot layout {len(panels)},1",
              "set grid", "unset key"]
    for n, (label, data, yrange) in enumerate(panels):
        script.append("set yrange [%r:%r]" % yrange)
        script.append(f"set ylabel '{label}'")
        script.append("set xlabel 'time (s)'" if n == len(panels) - 1 else "unset xlabel")
        script.append(f"plot '{data}' using 1:2 with lines")
    script.append("unset multiplot")
    return "\n".join(script) + "\n"


def main():
    p = argparse.ArgumentParser(description="Plots output channels of a run into a PNG.")
    p.add_argument("channels", nargs="+", help="channel names, module:name or numbers")
    p.add_argument("-d", "--folder", default=".", help="folder of the output files")
    p.add_argument("-b", "--base", default="station", help="base name of the output files")
    p.add_argument("-o", "--output", help="the PNG to write (default <base>.png)")
    a = p.parse_args()
    names = channel_names(os.path.join(a.folder, a.base + ".inf"))
    picked = [find(names, w) for w in a.channels]
    out = a.output or os.path.join(a.folder, a.base + ".png")
    with tempfile.TemporaryDirectory() as tmp:
        panels = []
        for n, k in enumerate(picked):
            t, v = columns(a.folder, a.base, k)
            data = os.path.join(tmp, f"{n}.dat")
            numpy.savetxt(data, numpy.column_stack((t, v)), fmt="%.14g")
            panels.append((f"{names[k][0]}:{names[k][1]}", data, panel_range(v)))
        r = subprocess.run(["gnuplot"], input=gnuplot_script(out, panels), text=True, capture_output=True)
        if r.returncode != 0:
            sys.exit("plot_case.py: gnuplot failed (install gnuplot-nox?):\n" + r.stderr)
    print(out)


if __name__ == "__main__":
    main()
