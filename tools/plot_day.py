#!/usr/bin/env python3
"""Draw a model run's species as a panel figure.

Usage: plot_day.py [TS_species.txt | species.csv] [-o day.png] [--title TEXT]

It reads either output of a run. The species CSV ("time_h,O3,NO,...", ppb
at full precision, at every output time) is preferred: given the table, the
tool reads species.csv beside it when that file is there. The panels (ozone
and NOx, isoprene and oxidation products, bromine, HOx) are drawn from the
species the run has, by the names of the built-in mechanism (HO, ISO, BR2)
or of others (OH, C5H8 or ISOP); what it lacks is named on standard error. The species table
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


def rerun_with_debian_python(argv, script=__file__):
    """Replace this process by the same command (`script` with `argv`) under
    Debian's interpreter when this one lacks matplotlib and that one has not
    been tried yet."""
    try:
        import matplotlib  # noqa: F401
        return
    except ImportError:
        pass
    if (os.environ.get(TRIED) or sys.executable == DEBIAN_PYTHON
            or not os.access(DEBIAN_PYTHON, os.X_OK)):
        return
    os.environ[TRIED] = sys.executable
    os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON, os.path.abspath(script), *argv])


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


# The table's labels as the mechanism's names, with the factor that turns
# the column into ppb (its *ppt columns are in ppt).
TABLE_NAMES = {
    "timloc=": ("time_h", 1.0), "O3=": ("O3", 1.0), "NO=": ("NO", 1.0), "NO2=": ("NO2", 1.0),
    "HCHO=": ("HCHO", 1.0), "Lim=": ("LIM", 1.0), "NO3": ("NO3", 1.0), "HNO3": ("HNO3", 1.0),
    "HBr": ("HBR", 1.0), "Brppt": ("BR", 1e-3), "Br2": ("BR2", 1.0), "HOBr": ("HOBR", 1.0),
    "OHppt": ("HO", 1e-3), "BrOppt": ("BRO", 1e-3), "PAN": ("PAN", 1.0), "HO2": ("HO2", 1.0),
}


def table_species(columns):
    """The table's columns by the mechanism's names, in ppb."""
    return {TABLE_NAMES[label][0]: [TABLE_NAMES[label][1] * x for x in values]
            for label, values in columns.items() if label in TABLE_NAMES}


def read_csv(path):
    """The species CSV: time_h and every species column, in ppb."""
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
    return data


def read_species(path):
    """The run's species by name, in ppb, and the file they came from: the
    CSV, or the table (preferring a species.csv beside it)."""
    if not path.endswith(".csv"):
        beside = os.path.join(os.path.dirname(path), "species.csv")
        if not os.path.exists(beside):
            return table_species(read_table(path)), path
        path = beside
    return read_csv(path), path


# The series the figure draws, each by the names mechanisms give it: the
# built-in mechanism calls OH "HO" and isoprene "ISO"; the MCM calls
# isoprene "C5H8", others "ISOP". (ISOP is isoprene's
# peroxy radical where OH is named HO, and is not taken for isoprene there.)
# Each: label, names, unit ("ppb" or "ppt").
O3 = ("O$_3$", ("O3",), "ppb")
NO = ("NO", ("NO",), "ppb")
NO2 = ("NO$_2$", ("NO2",), "ppb")
NOX = ("NO$_x$", (), "ppb")  # NO + NO2, drawn where both are
ISOPRENE = ("isoprene", ("C5H8", "ISO", "ISOP"), "ppb")
OH = ("OH", ("OH", "HO"), "ppt")
HO2 = ("HO$_2$", ("HO2",), "ppt")

# Panels: title, the series on the left axis, those on a right axis, and
# each axis's label.
PANELS = (
    ("Ozone and nitrogen oxides", (O3,), "O$_3$ (ppb)", (NO, NO2, NOX), "NO, NO$_2$, NO$_x$ (ppb)"),
    ("Isoprene and oxidation products",
     (ISOPRENE, ("HCHO", ("HCHO",), "ppb"), ("HNO$_3$", ("HNO3",), "ppb"), ("PAN", ("PAN",), "ppb")),
     "ppb", (), ""),
    ("Bromine species", (("Br$_2$", ("BR2",), "ppt"), ("HOBr", ("HOBR",), "ppt"), ("HBr", ("HBR",), "ppt"),
                         ("Br", ("BR",), "ppt"), ("BrO", ("BRO",), "ppt")), "ppt", (), ""),
    ("HO$_x$: OH and HO$_2$", (OH,), "OH (ppt)", (HO2,), "HO$_2$ (ppt)"),
)


def find_series(species, series):
    """The series' values in its unit and the column they came from, or None."""
    by_name = {name.upper(): name for name in species}
    _, names, unit = series
    if not names:  # NO_x
        no, no2 = find_series(species, NO), find_series(species, NO2)
        if no is None or no2 is None:
            return None
        return [a + b for a, b in zip(no[0], no2[0])], "NO+NO2"
    for name in names:
        if name == "ISOP" and "HO" in by_name:
            continue
        if name in by_name:
            column = by_name[name]
            scale = 1000.0 if unit == "ppt" else 1.0
            return [scale * x for x in species[column]], column
    return None


def choose_panels(species):
    """The panels the run's species fill, each as (title, left, left
    label, right, right label) with series (label, values), and the
    names of the series the run lacks. A panel with no series is left out;
    so is a right axis with none."""
    panels, missing = [], []
    for title, left, left_label, right, right_label in PANELS:
        sides = []
        for side in (left, right):
            found = []
            for series in side:
                values = find_series(species, series)
                names = series[1]
                if values is None:
                    if len(names) == 1:
                        missing.append(names[0])
                    elif names:  # "isoprene (C5H8, ISO or ISOP)"
                        missing.append(f"{series[0]} ({', '.join(names[:-1])} or {names[-1]})")
                else:
                    # Named by the column where the series goes by several names.
                    label, column = series[0], values[1]
                    if len(names) > 1 and column.upper() != label.upper():
                        label = f"{label} ({column})"
                    found.append((label, values[0]))
            sides.append(found)
        if not sides[0] and not sides[1]:
            continue
        if ISOPRENE in left and not any(label.startswith(ISOPRENE[0]) for label, _ in sides[0]):
            title = "Oxidation products"
        if not sides[0]:
            sides = [sides[1], []]
            left_label, right_label = right_label, ""
        panels.append((title, sides[0], left_label, sides[1], right_label))
    return panels, missing


def draw(panels, time, output, title):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    columns = 1 if len(panels) == 1 else 2
    rows = (len(panels) + 1) // 2
    fig, axes = plt.subplots(rows, columns, figsize=(5.5 * columns, 3.75 * rows), sharex=True, squeeze=False)
    colour = 0
    for ax, (panel_title, left, left_label, right, right_label) in zip(axes.flat, panels):
        twin = ax.twinx() if right else None
        for target, series in ((ax, left), (twin, right)):
            for label, values in series:
                target.plot(time, values, f"C{colour % 10}-", label=label)
                colour += 1
        ax.set_ylabel(left_label)
        if twin is not None:
            twin.set_ylabel(right_label)
        lines = ax.get_lines() + (twin.get_lines() if twin is not None else [])
        ax.legend(lines, [line.get_label() for line in lines], loc="upper left", fontsize=8)
        ax.set_title(panel_title)
        ax.grid(alpha=0.3)
    # The time axis under the lowest panel of each column.
    for k, ax in enumerate(axes.flat):
        if k >= len(panels):
            ax.set_visible(False)
        elif k + columns >= len(panels):
            ax.xaxis.set_tick_params(labelbottom=True)
            ax.set_xlabel("local time (h)")
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
        species, source = read_species(args.table)
    except (OSError, ValueError) as error:
        print(f"plot_day: {error}", file=sys.stderr)
        return 1
    panels, missing = choose_panels(species)
    if not panels:
        print(f"plot_day: {source}: none of the species drawn is there (O3, NO, NO2, OH or HO, ...)",
              file=sys.stderr)
        return 1
    if missing:
        print(f"plot_day: {source} has no {', '.join(missing)}: left out of the figure", file=sys.stderr)
    try:
        draw(panels, species["time_h"], args.output, args.title)
    except ImportError as error:
        print(f"plot_day: {missing_package_message(error.name)}", file=sys.stderr)
        return 1
    print(f"Figure: {args.output}")
    return 0


if __name__ == "__main__":
    rerun_with_debian_python(sys.argv[1:])
    sys.exit(main(sys.argv[1:]))
