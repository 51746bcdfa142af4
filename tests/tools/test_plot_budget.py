"""Tests of tools/plot_budget.py: reading budgets.csv, the whole-run shares
and the figure. Skipped (exit 77) where matplotlib is not installed."""
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import plot_budget  # noqa: E402

HEADER = "start_h,end_h,species,reaction,equation,production,loss\n"

# Two hours of an ozone budget: R44 makes 6 + 3 ppb (75 % of production),
# R2 destroys 2 + 2, deposition-like "other" terms small; NO2 alongside.
ROWS = """5,6,O3,R44,HO2 + NO -> HO + NO2,6,0
5,6,O3,R27,O3P + M -> O3,2,0
5,6,O3,R2,O3 -> O1D,0,2
5,6,O3,clipping,,0,0
5,6,O3,net,,8,2
5,6,NO2,R1,NO2 -> O3P + NO,0,5
5,6,NO2,net,,0,5
6,7,O3,R44,HO2 + NO -> HO + NO2,3,0
6,7,O3,R27,O3P + M -> O3,1,0
6,7,O3,R2,O3 -> O1D,0,2
6,7,O3,R33,HO2 + O3 -> HO,0,1
6,7,O3,clipping,,0,0
6,7,O3,net,,4,3
"""


def write(text):
    f = tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False)
    f.write(text)
    f.close()
    return f.name


class Read(unittest.TestCase):
    def setUp(self):
        self.path = write(HEADER + ROWS)

    def tearDown(self):
        os.unlink(self.path)

    def test_species_budget_and_summary(self):
        budget = plot_budget.SpeciesBudget(plot_budget.read_budgets(self.path), "O3")
        self.assertEqual(budget.intervals, [(5.0, 6.0), (6.0, 7.0)])
        self.assertEqual(budget.net, [6.0, 1.0])
        self.assertEqual(budget.production["R44"], [6.0, 3.0])
        self.assertEqual(budget.loss["R33"], [0.0, 1.0])  # absent in the first hour
        named, others = budget.ranked(2)
        self.assertEqual(named, ["R44", "R2"])
        self.assertEqual(set(others), {"R27", "R33", "clipping"})
        text = plot_budget.summary(budget)
        self.assertIn("O3 production: 75% R44 HO2 + NO, 25% R27 O3P + M", text)
        self.assertIn("loss: 80% R2 O3, 20% R33 HO2 + O3", text)
        self.assertIn("net change +7 ppb", text)
        # The legend shows whole equations (R2 is O3 -> O1D, not "R2 O3"),
        # a long one shortened in the middle, both ends kept.
        self.assertEqual(budget.legend["R2"], "R2 O3 -> O1D")
        self.assertEqual(budget.legend["clipping"], "clipping")
        long = "ISO + O3P -> 0.01 CO + 0.15 XO2 + 0.86 OLT + 0.05 HCHO + 0.13 DCB + 0.28 HO2 + 0.02 HO"
        shown = plot_budget.legend_label("R62", long)
        self.assertLessEqual(len(shown), 48)
        self.assertTrue(shown.startswith("R62 ISO + O3P -> ") and shown.endswith("0.28 HO2 + 0.02 HO"), shown)
        self.assertIn("…", shown)

    def test_unknown_species_lists_those_present(self):
        with self.assertRaisesRegex(ValueError, "no budget of HO.*NO2, O3"):
            plot_budget.SpeciesBudget(plot_budget.read_budgets(self.path), "HO")

    def test_bad_lines_are_named(self):
        bad = write(HEADER + "5,6,O3,R44,HO2 + NO -> HO + NO2,x,0\n")
        short = write(HEADER + "5,6,O3\n")
        other = write("time,value\n")
        try:
            with self.assertRaisesRegex(ValueError, "line 2"):
                plot_budget.read_budgets(bad)
            with self.assertRaisesRegex(ValueError, "line 2: expected 7 fields"):
                plot_budget.read_budgets(short)
            with self.assertRaisesRegex(ValueError, "line 1: expected the header"):
                plot_budget.read_budgets(other)
        finally:
            for p in (bad, short, other):
                os.unlink(p)


# An hour of the ozone and NO2 budgets by day, with the null cycle's three
# reactions as budgets.csv writes them (here 0.5 h long), and the Ox family.
CYCLE = """12,12.5,O3,R27,O3P + M -> O3,100,0
12,12.5,O3,R51,O3 + NO -> NO2,0,97
12,12.5,O3,R44,HO2 + NO -> HO + NO2,5,0
12,12.5,O3,net,,105,97
12,12.5,NO2,R1,NO2 -> O3P + NO,0,100
12,12.5,NO2,R51,O3 + NO -> NO2,97,0
12,12.5,NO2,R42,HO + NO2 -> HNO3,0,1
12,12.5,NO2,net,,97,101
12,12.5,Ox,R44,HO2 + NO -> HO + NO2,5,0
12,12.5,Ox,R31,O1D + H2O -> 2 HO,0,1
12,12.5,Ox,net,,5,1
"""


class Cycles(unittest.TestCase):
    def setUp(self):
        self.path = write(HEADER + CYCLE)

    def tearDown(self):
        os.unlink(self.path)

    def test_null_cycle_is_one_net_term_per_species(self):
        rows = plot_budget.read_budgets(self.path)
        o3 = plot_budget.SpeciesBudget(rows, "O3")
        self.assertEqual(sorted(o3.net_cycles()), ["R27", "R51"])
        self.assertEqual((o3.production["null cycle"], o3.loss["null cycle"]), ([3.0], [0.0]))
        no2 = plot_budget.SpeciesBudget(rows, "NO2")
        self.assertEqual(sorted(no2.net_cycles()), ["R1", "R51"])
        self.assertEqual((no2.production["null cycle"], no2.loss["null cycle"]), ([0.0], [3.0]))
        self.assertIn("R42", no2.production)  # HO + NO2 is no part of it
        no2.per_hour()
        self.assertEqual(no2.net, [-8.0])
        self.assertEqual(no2.loss["null cycle"], [6.0])
        for other in ("HO2 + NO -> HO + NO2", "O3 -> O3P", "O3P + NO2 -> NO", "ISO + O3P -> 0.86 OLT"):
            self.assertFalse(plot_budget.in_null_cycle(other), other)
        self.assertTrue(plot_budget.in_null_cycle("O = O3"))  # a file's O for O3P

    def test_family_per_hour_figure(self):
        with tempfile.TemporaryDirectory() as out:
            png = os.path.join(out, "ox.png")
            self.assertEqual(plot_budget.main([self.path, "--family", "Ox", "--per-hour",
                                               "--net-cycles", "-o", png]), 0)
            self.assertTrue(os.path.getsize(png) > 0)
            self.assertEqual(plot_budget.main([self.path, "--family", "NOy", "-o", png]), 1)


class Draw(unittest.TestCase):
    def test_draws_a_figure(self):
        path = write(HEADER + ROWS)
        try:
            with tempfile.TemporaryDirectory() as out:
                png = os.path.join(out, "o3.png")
                self.assertEqual(plot_budget.main([path, "--species", "O3", "-o", png,
                                                   "--top", "2"]), 0)
                with open(png, "rb") as f:
                    self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
                self.assertEqual(plot_budget.main([path, "--species", "BRO", "-o", png]), 1)
        finally:
            os.unlink(path)


if __name__ == "__main__":
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print("matplotlib not installed: skipped")
        sys.exit(77)
    result = unittest.main(exit=False).result
    sys.exit(0 if result.wasSuccessful() else 1)
