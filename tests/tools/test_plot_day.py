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
