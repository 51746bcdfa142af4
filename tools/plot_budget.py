#!/usr/bin/env python3
"""Draw the budget of one species from a run's budgets.csv and summarise it.

Usage: plot_budget.py [budgets.csv] --species O3 [-o O3_budget.png] [--top 8]

The figure has one stacked bar per output interval: production by reaction
above zero, loss below, the `top` reactions (or other terms: emission,
deposition, clipping, ...) with the largest production plus loss over the
whole run named and the rest summed as "other"; the net change over each
interval is drawn as a line. The summary printed gives each term's share of
the whole run's production and loss, e.g.
  O3 production: 61% R23 HO2 + NO, ...; loss: 40% R2 O3, ...
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


class SpeciesBudget:
    """One species' budget: intervals in time order, and per term (reaction
    or other) its production and loss in each interval, plus the net
    change of each interval."""

    def __init__(self, rows, species):
        mine = [r for r in rows if r["species"] == species]
        if not mine:
            found = sorted({r["species"] for r in rows})
            raise ValueError(f"no budget of {species} in the file (it has: {', '.join(found)})")
        self.species = species
        self.intervals = sorted({(r["start_h"], r["end_h"]) for r in mine})
        index = {interval: k for k, interval in enumerate(self.intervals)}
        n = len(self.intervals)
        self.production, self.loss, self.labels, self.legend = {}, {}, {}, {}
        self.net = [0.0] * n
        for r in mine:
            k = index[(r["start_h"], r["end_h"])]
            term = r["reaction"]
            if term == "net":
                self.net[k] = r["production"] - r["loss"]
                continue
            self.labels[term] = label(term, r["equation"])
            self.legend[term] = legend_label(term, r["equation"])
            self.production.setdefault(term, [0.0] * n)[k] += r["production"]
            self.loss.setdefault(term, [0.0] * n)[k] += r["loss"]

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
    ax.set_ylabel(f"{budget.species} per interval (ppb)")
    ax.set_title(f"{budget.species} budget: production above zero, loss below")
    ax.legend(fontsize="small", ncol=2, loc="best")
    fig.tight_layout()
    fig.savefig(output, dpi=120)
    plt.close(fig)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("budgets", nargs="?", default="budgets.csv")
    parser.add_argument("--species", required=True)
    parser.add_argument("-o", "--output", help="figure file (default <species>_budget.png)")
    parser.add_argument("--top", type=int, default=8, help="terms named in the figure")
    args = parser.parse_args(argv)
    try:
        budget = SpeciesBudget(read_budgets(args.budgets), args.species)
    except (OSError, ValueError) as error:
        print(f"plot_budget.py: {error}", file=sys.stderr)
        return 1
    print(summary(budget))
    draw(budget, args.output or f"{args.species}_budget.png", args.top)
    return 0


if __name__ == "__main__":
    sys.exit(main())
