#!/usr/bin/env python3
"""Draw a model run's species as a panel figure.

Usage: plot_day.py [TS_species.txt | species.csv] [-o day.png] [--title TEXT]

It reads either output of a run. The species CSV ("time_h,O3,NO,...", ppb
at full precision, at every output time) is preferred: given the table, the
tool reads species.csv beside it when that file is there. The species table
has a header of 17 labels and one row per hour, each field nine characters
wide (a field that overflowed is written as asterisks and is drawn as a
gap); its three decimals draw small mixing ratios as staircases.
Concentrations are in ppb except the table's columns whose label ends in
"ppt".
"""
import argparse
import math
import os
import sys

FIELD = 9

# Debian's interpreter, the one python3-matplotlib installs for; another
# python3 may come first on PATH without it.
DEBIAN_PYTHON = "/usr/bin/python3"
TRIED = "BOXMODEL_PLOT_TRIED"  # the interpreter that lacked the package, across the re-run


def missing_package_message(module):
    tried = os.environ.get(TRIED)
    also = f" (nor has {tried}, tried first)" if tried and tried != sys.executable else ""
    hint = ""
    if sys.executable != DEBIAN_PYTHON and os.access(DEBIAN_PYTHON, os.X_OK):
        hint = f", or run this tool with {DEBIAN_PYTHON}"
    return (f"the Python interpreter {sys.executable} has no package {module}{also}; "
            f"on Debian, as root: apt-get install python3-{module}{hint}")


def rerun_with_debian_python(argv):
    """Replace this process by the same command under Debian's interpreter
    when this one lacks matplotlib and that one has not been tried yet."""
    try:
        import matplotlib  # noqa: F401
        return
    except ImportError:
        pass
    if (os.environ.get(TRIED) or sys.executable == DEBIAN_PYTHON
            or not os.access(DEBIAN_PYTHON, os.X_OK)):
        return
    os.environ[TRIED] = sys.executable
    os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, os.path.abspath(__file__), *argv])


def split_fields(line):
    line = line.rstrip("\n")
    return [line[i:i + FIELD] for i in range(0, len(line), FIELD)]


def read_table(path):
    with open(path, encoding="ascii") as handle:
        lines = handle.readlines()
    if not lines:
        raise ValueError(f"{path}: empty file, expected a header line")
    labels = [field.strip() for field in split_fields(lines[0])]
    columns = {label: [] for label in labels}
    for number, line in enumerate(lines[1:], start=2):
        fields = split_fields(line)
        if len(fields) != len(labels):
            raise ValueError(f"{path}: line {number}: expected {len(labels)} fields of "
                             f"{FIELD} characters, found {len(fields)}")
        for label, field in zip(labels, fields):
            text = field.strip()
            columns[label].append(math.nan if text.startswith("*") else float(text))
    return columns


# The species CSV's columns under the table's labels, with the table's
# unit (ppt for the table's *ppt columns).
CSV_COLUMNS = {
    "timloc=": ("time_h", 1.0), "O3=": ("O3", 1.0), "NO=": ("NO", 1.0), "NO2=": ("NO2", 1.0),
    "HCHO=": ("HCHO", 1.0), "HNO3": ("HNO3", 1.0), "PAN": ("PAN", 1.0), "Br2": ("BR2", 1.0),
    "HOBr": ("HOBR", 1.0), "HBr": ("HBR", 1.0), "HO2": ("HO2", 1.0), "Brppt": ("BR", 1000.0),
    "BrOppt": ("BRO", 1000.0), "OHppt": ("HO", 1000.0),
}


def read_csv(path):
    """The species CSV as the table's columns; species it lacks are gaps."""
    import csv
    with open(path, encoding="ascii", newline="") as handle:
        rows = list(csv.reader(handle))
    if not rows or not rows[0] or rows[0][0] != "time_h":
        raise ValueError(f"{path}: expected a header line starting with time_h")
    header = rows[0]
    data = {name: [] for name in header}
    for number, row in enumerate(rows[1:], start=2):
        if len(row) != len(header):
            raise ValueError(f"{path}: line {number}: expected {len(header)} values, found {len(row)}")
        for name, text in zip(header, row):
            data[name].append(float(text))
    count = len(rows) - 1
    return {label: [scale * x for x in data[name]] if name in data else [math.nan] * count
            for label, (name, scale) in CSV_COLUMNS.items()}


def read_species(path):
    """The run's species from the CSV, or from the table (preferring a
    species.csv beside it)."""
    if path.endswith(".csv"):
        return read_csv(path)
    beside = os.path.join(os.path.dirname(path), "species.csv")
    if os.path.exists(beside):
        return read_csv(beside)
    return read_table(path)


def draw(columns, output, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    time = columns["timloc="]
    ppt = lambda label: [1000.0 * x for x in columns[label]]  # ppb -> ppt
    nox = [a + b for a, b in zip(columns["NO="], columns["NO2="])]

    fig, axes = plt.subplots(2, 2, figsize=(11, 7.5), sharex=True)
    (ax_ox, ax_prod), (ax_br, ax_hox) = axes

    ax_ox.plot(time, columns["O3="], "k-", lw=2, label="O$_3$")
    ax_ox.set_ylabel("O$_3$ (ppb)")
    ax_nox = ax_ox.twinx()
    ax_nox.plot(time, columns["NO="], "C0--", label="NO")
    ax_nox.plot(time, columns["NO2="], "C1-", label="NO$_2$")
    ax_nox.plot(time, nox, "C2:", label="NO$_x$")
    ax_nox.set_ylabel("NO, NO$_2$, NO$_x$ (ppb)")
    lines = ax_ox.get_lines() + ax_nox.get_lines()
    ax_ox.legend(lines, [l.get_label() for l in lines], loc="upper left", fontsize=8)
    ax_ox.set_title("Ozone and nitrogen oxides")

    ax_prod.plot(time, columns["HCHO="], "C0-", label="HCHO")
    ax_prod.plot(time, columns["HNO3"], "C1-", label="HNO$_3$")
    ax_prod.plot(time, columns["PAN"], "C2-", label="PAN")
    ax_prod.set_ylabel("ppb")
    ax_prod.legend(loc="upper left", fontsize=8)
    ax_prod.set_title("Oxidation products")

    ax_br.plot(time, ppt("Br2"), "C3-", label="Br$_2$")
    ax_br.plot(time, ppt("HOBr"), "C4-", label="HOBr")
    ax_br.plot(time, ppt("HBr"), "C5-", label="HBr")
    ax_br.plot(time, columns["Brppt"], "C6-", label="Br")
    ax_br.plot(time, columns["BrOppt"], "C7-", label="BrO")
    ax_br.set_ylabel("ppt")
    ax_br.legend(loc="upper right", fontsize=8)
    ax_br.set_title("Bromine species")

    ax_hox.plot(time, columns["OHppt"], "C0-", label="OH")
    ax_hox.set_ylabel("OH (ppt)")
    ax_ho2 = ax_hox.twinx()
    ax_ho2.plot(time, ppt("HO2"), "C1--", label="HO$_2$")
    ax_ho2.set_ylabel("HO$_2$ (ppt)")
    lines = ax_hox.get_lines() + ax_ho2.get_lines()
    ax_hox.legend(lines, [l.get_label() for l in lines], loc="upper left", fontsize=8)
    ax_hox.set_title("OH and HO$_2$")

    for ax in (ax_br, ax_hox):
        ax.set_xlabel("local time (h)")
    for ax in axes.flat:
        ax.grid(alpha=0.3)
    if title:
        fig.suptitle(title)
    fig.tight_layout()
    fig.savefig(output, dpi=100)


def main(argv):
    parser = argparse.ArgumentParser(
        description="Plot the species of a model run, from species.csv or the species table.")
    parser.add_argument("table", nargs="?", default="TS_species.txt")
    parser.add_argument("-o", "--output", default="day.png")
    parser.add_argument("--title", default="")
    args = parser.parse_args(argv)
    try:
        columns = read_species(args.table)
    except (OSError, ValueError) as error:
        print(f"plot_day: {error}", file=sys.stderr)
        return 1
    try:
        draw(columns, args.output, args.title)
    except ImportError as error:
        print(f"plot_day: {missing_package_message(error.name)}", file=sys.stderr)
        return 1
    print(f"Figure: {args.output}")
    return 0


if __name__ == "__main__":
    rerun_with_debian_python(sys.argv[1:])
    sys.exit(main(sys.argv[1:]))
