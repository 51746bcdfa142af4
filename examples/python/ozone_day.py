#!/usr/bin/env python3
"""The example day with two initial ozone values, side by side.

    PYTHONPATH=build/python /usr/bin/python3 examples/python/ozone_day.py [-o ozone_day.png]

Runs the example day (examples/day) starting from the model's 10 ppb of
ozone and from 40 ppb, draws both ozone curves on one plot, and prints the
reactions that destroyed the most ozone over the day, where this build of
the model can integrate reaction rates (the scenario key output.budgets).
"""
import argparse
from pathlib import Path

import boxmodel

DAY = Path(__file__).resolve().parents[1] / "day"
SITE = {"parameters": str(DAY / "inputn"),
        "records": str(DAY / "ValuesAtSite_extractedFromWRFchemAug31.txt_test")}


def has_budgets():
    return "budgets" in boxmodel.Scenario().output


def ozone_losses(ds, top=5):
    """The reactions with O3 among their reactants, by the ozone they
    destroyed over the whole run, largest first."""
    rates = ds["reaction_rate_integral"].sum("time_interval")
    equations = ds["equation"].to_series()  # coordinate along `reaction`
    losses = []
    for reaction, equation in equations.items():
        reactants = equation.split("->")[0].split("+")
        count = sum(1 for r in reactants if r.strip() == "O3")
        if count:
            losses.append((float(rates.sel(reaction=reaction)) * count, reaction, equation))
    return sorted(losses, reverse=True)[:top], "ppb over the run"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-o", "--output", default="ozone_day.png", help="the plot (PNG)")
    args = parser.parse_args()

    base = boxmodel.Scenario(site=SITE)
    if has_budgets():
        base = base.replace(output={"budgets": True})
    runs = {ppb: boxmodel.run(base.replace(initial={"O3": ppb})) for ppb in (10, 40)}

    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, ax = plt.subplots(figsize=(7, 4))
    for ppb, ds in runs.items():
        (ds["O3"] * 1e9).plot(ax=ax, marker="o", label=f"starting at {ppb} ppb")
    ax.set_ylabel("O3 (ppb)")
    ax.set_title("The example day from two initial ozone values")
    ax.legend()
    fig.tight_layout()
    fig.savefig(args.output, dpi=100)
    for ppb, ds in runs.items():
        o3 = ds["O3"].values * 1e9
        print(f"start {ppb:>2} ppb: O3 from {o3[0]:.2f} to {o3[-1]:.2f} ppb, lowest {o3.min():.2f} ppb")
    print(f"plot: {args.output}")

    if not has_budgets():
        print("ozone loss terms: this build has no reaction-rate budgets (output.budgets); not shown")
        return
    for ppb, ds in runs.items():
        losses, units = ozone_losses(ds)
        print(f"largest ozone losses, start {ppb} ppb ({units}):")
        for amount, reaction, equation in losses:
            print(f"  {reaction:<6} {equation:50s} {amount:.4g} ppb")


if __name__ == "__main__":
    main()
