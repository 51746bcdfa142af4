#!/usr/bin/env python3
"""Draw an ozone isopleth diagram from `boxmodel isopleths`' isopleths.csv.

Usage: plot_isopleths.py isopleths.csv [-o isopleths.png] [--title TEXT]

The CSV holds nox_factor,voc_factor,o3_ppb, one row per grid point. The
figure has the VOC factor across and the NOx factor up, both logarithmic,
ozone as filled contours with labelled lines, the ridge (for each VOC
factor the NOx factor of the most ozone: above it more NOx lowers ozone,
the VOC-limited regime; below it ozone follows NOx, the NOx-limited
regime) as a dashed line, and the base scenario (1, 1) as a star.

Exit status 0 drawn, 1 a CSV it cannot read, 77 no matplotlib.
"""
import argparse
import csv
import math
import os
import sys

NO_MATPLOTLIB = 77

# The plotting tools lie side by side (in tools/, and installed in bin/).
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from plot_day import rerun_with_debian_python  # noqa: E402


def read_grid(path):
    """The factors of each axis (increasing) and o3[i][j] at NOx factor i,
    VOC factor j (NaN where a point failed)."""
    with open(path, encoding="ascii", newline="") as handle:
        rows = list(csv.reader(handle))
    if not rows or rows[0] != ["nox_factor", "voc_factor", "o3_ppb"]:
        raise ValueError(f"{path}: expected the header nox_factor,voc_factor,o3_ppb")
    values = {}
    for number, row in enumerate(rows[1:], start=2):
        if len(row) != 3:
            raise ValueError(f"{path}: line {number}: expected 3 values, found {len(row)}")
        nox, voc, o3 = (float(x) for x in row)
        values[(nox, voc)] = o3
    nox = sorted({k[0] for k in values})
    voc = sorted({k[1] for k in values})
    if len(nox) < 2 or len(voc) < 2 or len(values) != len(nox) * len(voc):
        raise ValueError(f"{path}: expected a full grid of at least 2 x 2 points")
    o3 = [[values[(n, v)] for v in voc] for n in nox]
    return nox, voc, o3


def ridge(nox, voc, o3):
    """For each VOC factor the NOx factor of the most ozone."""
    line = []
    for j in range(len(voc)):
        column = [(o3[i][j], nox[i]) for i in range(len(nox)) if not math.isnan(o3[i][j])]
        line.append(max(column)[1] if column else math.nan)
    return line


def main(argv):
    rerun_with_debian_python(argv, __file__)
    parser = argparse.ArgumentParser(description="Draw an ozone isopleth diagram.")
    parser.add_argument("csv", help="isopleths.csv of boxmodel isopleths")
    parser.add_argument("-o", "--output", help="figure file (default: isopleths.png beside the CSV)")
    parser.add_argument("--title", default="", help="title of the figure")
    args = parser.parse_args(argv)
    try:
        nox, voc, o3 = read_grid(args.csv)
    except (OSError, ValueError) as e:
        print(f"plot_isopleths.py: {e}", file=sys.stderr)
        return 1
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print(f"plot_isopleths.py: the Python interpreter {sys.executable} has no package matplotlib; "
              f"on Debian, as root: apt-get install python3-matplotlib", file=sys.stderr)
        return NO_MATPLOTLIB

    fig, ax = plt.subplots(figsize=(6.4, 5.4))
    finite = [x for row in o3 for x in row if not math.isnan(x)]
    if finite and max(finite) > min(finite):
        filled = ax.contourf(voc, nox, o3, levels=14, cmap="viridis")
        lines = ax.contour(voc, nox, o3, levels=filled.levels[::2], colors="white", linewidths=0.7)
        ax.clabel(lines, fmt="%.0f", fontsize=8)
        fig.colorbar(filled, ax=ax, label="O3 (ppb)")
    ax.plot(voc, ridge(nox, voc, o3), "--", color="tab:red", linewidth=1.5,
            label="ridge: NOx of the most O3 (above: VOC-limited, below: NOx-limited)")
    ax.plot([1.0], [1.0], marker="*", markersize=14, color="tab:orange", markeredgecolor="black",
            linestyle="none", label="the base scenario (1, 1)")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlim(voc[0], voc[-1])
    ax.set_ylim(nox[0], nox[-1])
    ax.set_xlabel("VOC factor (times the base scenario's)")
    ax.set_ylabel("NOx factor (times the base scenario's)")
    if args.title:
        ax.set_title(args.title)
    ax.legend(loc="lower right", fontsize=7, framealpha=0.85)
    fig.tight_layout()
    output = args.output or os.path.join(os.path.dirname(args.csv), "isopleths.png")
    fig.savefig(output, dpi=110)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
