#!/usr/bin/env python3
"""Draw the budget of one species from a run's budgets.csv and summarise it.

Usage: plot_budget.py [budgets.csv] (--species O3 | --family Ox) [-o FIGURE]
                      [--top 8] [--per-hour] [--net-cycles]

The figure has one stacked bar per output interval: production by reaction
above zero, loss below, the `top` reactions (or other terms: emission,
deposition, clipping, ...) with the largest production plus loss over the
whole run named and the rest summed as "other"; the net change over each
interval is drawn as a line. The summary printed gives each term's share of
the whole run's production and loss, e.g.
  O3 production: 61% R23 HO2 + NO, ...; loss: 40% R2 O3, ...

--family draws a family's budget (the rows budgets.csv carries under the
family's name, with the reactions inside the family cancelled).
--per-hour divides each interval's amounts by its length: ppb h-1.
--net-cycles shows the null cycle that dominates the gross ozone budget by
day, NO2 + hv -> NO + O3P, O3P + O2 (+M) -> O3, O3 + NO -> NO2, as one net
term: its reactions are recognised from their equations, and whichever of
them a budget has are summed into one term, production when positive.
"""
import argparse
import csv
import sys

HEADER = ["start_h", "end_h", "species", "reaction", "equation", "production", "loss"]


def read_budgets(path):
    """The rows of budgets.csv as dicts with numbers converted."""
    rows = []
    with open(path, newline="", encoding="utf-8") as handle:
        reader = csv.reader(handle)
        header = next(reader, None)
        if header != HEADER:
            raise ValueError(f"{path}: line 1: expected the header {','.join(HEADER)}")
        for number, fields in enumerate(reader, start=2):
            if len(fields) != len(HEADER):
                raise ValueError(f"{path}: line {number}: expected {len(HEADER)} fields, "
                                 f"found {len(fields)}")
            row = dict(zip(HEADER, fields))
            try:
                for key in ("start_h", "end_h", "production", "loss"):
                    row[key] = float(row[key])
            except ValueError as error:
                raise ValueError(f"{path}: line {number}: {error}") from None
            rows.append(row)
    return rows


def label(term, equation):
    """'R23 HO2 + NO' for a reaction (its reactants), the term otherwise."""
    reactants = equation.split("->")[0].strip()
    return f"{term} {reactants}" if reactants else term


def legend_label(term, equation, width=48):
    """'R3 O3 -> O3P' for a reaction: the whole equation, shortened in the
    middle (reactants and the last products kept) only when longer than
    `width` characters; the term alone otherwise."""
    text = f"{term} {equation.strip()}" if equation.strip() else term
    if len(text) <= width:
        return text
    tail = (width - 1) // 2
    return text[:width - 1 - tail].rstrip() + "…" + text[-tail:].lstrip()


def sides(equation):
    """The reactants and the products of 'A + B -> 0.5 C + D' as sets of
    names (yields dropped); None for a term that is no reaction."""
    for arrow in ("->", "="):
        if arrow in equation:
            left, right = equation.split(arrow, 1)
            names = lambda text: {w.split()[-1] for w in text.split("+") if w.split()}
            return names(left), names(right)
    return None


NULL_CYCLE = "null cycle"
NULL_CYCLE_LEGEND = "NO2+hv, O3P+O2, O3+NO (net)"


def in_null_cycle(equation):
    """True for NO2 photolysis to NO + O3P, O3P + O2 (+M) -> O3, and
    O3 + NO -> NO2: the reactions that turn over O3 and NO2 without
    changing odd oxygen or NOx. O3P is also written O."""
    parts = sides(equation)
    if parts is None:
        return False
    left, right = parts
    atom = {"O3P", "O"}
    if left == {"NO2"} and "NO" in right and right & atom:
        return True
    if left & atom and left - atom <= {"M", "O2", "N2"} and right == {"O3"}:
        return True
    return left == {"O3", "NO"} and right == {"NO2"}


class SpeciesBudget:
    """One species' (or family's) budget: intervals in time order, and per
    term (reaction or other) its production and loss in each interval, plus
    the net change of each interval."""

    def __init__(self, rows, species, kind="species"):
        mine = [r for r in rows if r["species"] == species]
        if not mine:
            found = sorted({r["species"] for r in rows})
            what = f"family {species}" if kind == "family" else species
            raise ValueError(f"no budget of {what} in the file (it has: {', '.join(found)})")
        self.species = species
        self.unit = "ppb"
        self.intervals = sorted({(r["start_h"], r["end_h"]) for r in mine})
        index = {interval: k for k, interval in enumerate(self.intervals)}
        n = len(self.intervals)
        self.production, self.loss, self.labels, self.legend = {}, {}, {}, {}
        self.equations = {}
        self.net = [0.0] * n
        for r in mine:
            k = index[(r["start_h"], r["end_h"])]
            term = r["reaction"]
            if term == "net":
                self.net[k] = r["production"] - r["loss"]
                continue
            self.equations[term] = r["equation"]
            self.labels[term] = label(term, r["equation"])
            self.legend[term] = legend_label(term, r["equation"])
            self.production.setdefault(term, [0.0] * n)[k] += r["production"]
            self.loss.setdefault(term, [0.0] * n)[k] += r["loss"]

    def per_hour(self):
        """Every amount divided by its interval's length: ppb h-1."""
        hours = [b - a for a, b in self.intervals]
        for table in (self.production, self.loss):
            for term in table:
                table[term] = [v / h for v, h in zip(table[term], hours)]
        self.net = [v / h for v, h in zip(self.net, hours)]
        self.unit = "ppb h-1"

    def net_cycles(self):
        """The terms of the NO2-O3P-O3-NO null cycle summed into one net
        term; returns the terms merged."""
        merged = [t for t in self.production if in_null_cycle(self.equations.get(t, ""))]
        if not merged:
            return merged
        n = len(self.intervals)
        net = [sum(self.production[t][k] - self.loss[t][k] for t in merged) for k in range(n)]
        for t in merged:
            for table in (self.production, self.loss, self.labels, self.legend, self.equations):
                del table[t]
        self.production[NULL_CYCLE] = [max(v, 0.0) for v in net]
        self.loss[NULL_CYCLE] = [max(-v, 0.0) for v in net]
        self.labels[NULL_CYCLE] = self.legend[NULL_CYCLE] = NULL_CYCLE_LEGEND
        self.equations[NULL_CYCLE] = ""
        return merged

    def totals(self):
        """Per term, (production, loss) summed over the run."""
        return {t: (sum(self.production[t]), sum(self.loss[t])) for t in self.production}

    def ranked(self, top):
        """The `top` terms with the largest production plus loss, largest
        first, and the others."""
        totals = self.totals()
        order = sorted(totals, key=lambda t: -(totals[t][0] + totals[t][1]))
        return order[:top], order[top:]


def shares(budget, which, count=5):
    """'61% R23 HO2 + NO, 20% ...' for production (which=0) or loss (1)."""
    totals = budget.totals()
    whole = sum(v[which] for v in totals.values())
    if whole <= 0:
        return "none"
    order = sorted((t for t in totals if totals[t][which] > 0), key=lambda t: -totals[t][which])
    # Terms that would print as 0 % go to "other".
    named = [t for t in order[:count] if totals[t][which] >= 0.005 * whole]
    parts = [f"{100 * totals[t][which] / whole:.0f}% {budget.labels[t]}" for t in named]
    rest = sum(totals[t][which] for t in order if t not in named)
    if rest >= 0.005 * whole:
        parts.append(f"{100 * rest / whole:.0f}% other")
    return ", ".join(parts)


def summary(budget):
    totals = budget.totals()
    produced = sum(v[0] for v in totals.values())
    lost = sum(v[1] for v in totals.values())
    net = sum(budget.net)
    return (f"{budget.species} production: {shares(budget, 0)}; loss: {shares(budget, 1)}\n"
            f"{budget.species} over the run: produced {produced:.4g} ppb, lost {lost:.4g} ppb, "
            f"net change {net:+.4g} ppb")


def draw(budget, output, top=8):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    named, others = budget.ranked(top)
    n = len(budget.intervals)
    x = [0.5 * (a + b) for a, b in budget.intervals]
    width = [0.9 * (b - a) for a, b in budget.intervals]
    stacks = [(budget.legend[t], budget.production[t], budget.loss[t]) for t in named]
    if others:
        stacks.append(("other", [sum(budget.production[t][k] for t in others) for k in range(n)],
                       [sum(budget.loss[t][k] for t in others) for k in range(n)]))

    fig, ax = plt.subplots(figsize=(11, 6))
    up = [0.0] * n
    down = [0.0] * n
    colours = plt.get_cmap("tab10")
    for i, (name, production, loss) in enumerate(stacks):
        colour = "0.6" if name == "other" else colours(i % 10)
        ax.bar(x, production, width, bottom=up, color=colour, label=name)
        ax.bar(x, [-v for v in loss], width, bottom=[-v for v in down], color=colour)
        up = [a + b for a, b in zip(up, production)]
        down = [a + b for a, b in zip(down, loss)]
    ax.plot(x, budget.net, "k-o", lw=2, ms=4, label="net change")
    ax.axhline(0.0, color="k", lw=0.8)
    ax.set_xlabel("local time (h)")
    per = "per interval (ppb)" if budget.unit == "ppb" else f"({budget.unit})"
    ax.set_ylabel(f"{budget.species} {per}")
    ax.set_title(f"{budget.species} budget: production above zero, loss below")
    ax.legend(fontsize="small", ncol=2, loc="best")
    fig.tight_layout()
    fig.savefig(output, dpi=120)
    plt.close(fig)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("budgets", nargs="?", default="budgets.csv")
    which = parser.add_mutually_exclusive_group(required=True)
    which.add_argument("--species")
    which.add_argument("--family", help="a family's budget (rows under its name)")
    parser.add_argument("-o", "--output", help="figure file (default <name>_budget.png)")
    parser.add_argument("--top", type=int, default=8, help="terms named in the figure")
    parser.add_argument("--per-hour", action="store_true", help="ppb h-1 instead of ppb per interval")
    parser.add_argument("--net-cycles", action="store_true",
                        help="the NO2-O3P-O3-NO null cycle as one net term")
    args = parser.parse_args(argv)
    name = args.family or args.species
    try:
        budget = SpeciesBudget(read_budgets(args.budgets), name,
                               "family" if args.family else "species")
    except (OSError, ValueError) as error:
        print(f"plot_budget.py: {error}", file=sys.stderr)
        return 1
    if args.net_cycles:
        budget.net_cycles()
    print(summary(budget))  # amounts over the run, also with --per-hour
    if args.per_hour:
        budget.per_hour()
    draw(budget, args.output or f"{name}_budget.png", args.top)
    return 0


if __name__ == "__main__":
    sys.exit(main())
