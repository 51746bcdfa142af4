"""Tests of tools/plot_day.py: reading the fixed-width species table and
drawing it. Skipped (exit 77) where matplotlib is not installed."""
import io
import os
import sys
import tempfile
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import plot_day  # noqa: E402

EXPECTED_TABLE = os.path.join(ROOT, "tests", "data", "example_day", "TS_species.txt")


class ReadTable(unittest.TestCase):
    def test_example_day(self):
        columns = plot_day.read_table(EXPECTED_TABLE)
        self.assertEqual(len(columns), 17)
        self.assertEqual(columns["timloc="], [float(h) for h in range(5, 22)])
        self.assertEqual(columns["O3="][0], 10.0)
        self.assertEqual(columns["BrOppt"][0], 0.2)

    def test_fields_that_touch_and_asterisks(self):
        # Two labels, then a row whose first field overflowed and whose
        # second fills all nine characters.
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write("  timloc=      O3=\n*********99999.999\n")
        try:
            columns = plot_day.read_table(f.name)
        finally:
            os.unlink(f.name)
        self.assertNotEqual(columns["timloc="][0], columns["timloc="][0])  # NaN: a gap
        self.assertEqual(columns["O3="], [99999.999])

    def test_ragged_row_names_its_line(self):
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write("  timloc=      O3=\n    5.000\n")
        try:
            with self.assertRaisesRegex(ValueError, "line 2: expected 2 fields"):
                plot_day.read_table(f.name)
        finally:
            os.unlink(f.name)


class Draw(unittest.TestCase):
    def test_draws_the_example_day(self):
        with tempfile.TemporaryDirectory() as out:
            png = os.path.join(out, "day.png")
            self.assertEqual(plot_day.main([EXPECTED_TABLE, "-o", png]), 0)
            with open(png, "rb") as image:
                self.assertEqual(image.read(8), b"\x89PNG\r\n\x1a\n")

    def test_panels_from_the_species_a_run_has(self):
        # An MCM run: OH and C5H8, no nitric acid, PAN or bromine.
        with tempfile.TemporaryDirectory() as out:
            csv = os.path.join(out, "species.csv")
            with open(csv, "w", encoding="ascii") as f:
                f.write("time_h,O3,NO,NO2,OH,HO2,C5H8\n5,30,0.5,2,1e-5,2e-3,1.5\n6,31,0.4,1.9,4e-5,3e-3,1.25\n")
            species, _ = plot_day.read_species(csv)
            panels, _ = plot_day.choose_panels(species)
            drawn = {label: values for panel in panels for side in (panel[1], panel[3]) for label, values in side}
            self.assertEqual(drawn["OH"], [1e-5 * 1000, 4e-5 * 1000])  # ppt
            self.assertEqual(drawn["isoprene (C5H8)"], [1.5, 1.25])
            self.assertEqual(drawn["NO$_x$"], [2.5, 2.3])
            self.assertEqual([p[0] for p in panels],
                             ["Ozone and nitrogen oxides", "Isoprene and oxidation products", "HO$_x$: OH and HO$_2$"])
            with mock.patch("sys.stderr", new_callable=io.StringIO) as stderr:
                self.assertEqual(plot_day.main([csv, "-o", os.path.join(out, "day.png")]), 0)
        self.assertIn("has no HCHO, HNO3, PAN, BR2, HOBR, HBR, BR, BRO: left out", stderr.getvalue())
        # The built-in mechanism's names: HO is OH, ISO isoprene, and ISOP
        # (its peroxy radical) is no isoprene.
        builtin = {"time_h": [5.0], "HO": [2e-5], "ISOP": [7.0], "ISO": [0.5]}
        drawn = {label: values for panel in plot_day.choose_panels(builtin)[0] for label, values in panel[1]}
        self.assertEqual(drawn, {"OH (HO)": [2e-5 * 1000], "isoprene (ISO)": [0.5]})

    def test_missing_matplotlib_names_interpreter_and_package(self):
        # None in sys.modules makes the import fail as on a machine without it.
        with tempfile.TemporaryDirectory() as out, \
                mock.patch.dict(sys.modules, {"matplotlib": None}), \
                mock.patch("sys.stderr", new_callable=io.StringIO) as stderr:
            png = os.path.join(out, "day.png")
            self.assertEqual(plot_day.main([EXPECTED_TABLE, "-o", png]), 1)
            self.assertFalse(os.path.exists(png))
        message = stderr.getvalue()
        self.assertIn(f"interpreter {sys.executable} has no package matplotlib", message)
        self.assertIn("apt-get install python3-matplotlib", message)


if __name__ == "__main__":
    try:
        import matplotlib  # noqa: F401
    except ImportError:
        print("matplotlib is not installed: skipped")
        sys.exit(77)
    unittest.main()
