"""Tests of tools/plot_isopleths.py: the grid read back from isopleths.csv,
the ridge, and the figure. Skipped (exit 77) where matplotlib is not
installed."""
import math
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tools"))

import plot_isopleths  # noqa: E402

# 3 x 3 points in member order (NOx outer): at VOC 0.1 ozone falls with
# NOx (the ridge at the lowest NOx), at VOC 1 it peaks at NOx 1, at VOC 10
# it rises to the top; one point failed.
CSV = """nox_factor,voc_factor,o3_ppb
0.1,0.1,30
0.1,1,31
0.1,10,32
1,0.1,20
1,1,50
1,10,nan
10,0.1,10
10,1,40
10,10,90
"""
# (1, 1) twice, (10, 1) missing.
GAP = CSV.replace("10,1,40", "1,1,50")


def write(text):
    f = tempfile.NamedTemporaryFile("w", suffix=".csv", delete=False)
    f.write(text)
    f.close()
    return f.name


class Grid(unittest.TestCase):
    def test_grid_and_ridge(self):
        path = write(CSV)
        try:
            nox, voc, o3 = plot_isopleths.read_grid(path)
        finally:
            os.unlink(path)
        self.assertEqual(nox, [0.1, 1.0, 10.0])
        self.assertEqual(voc, [0.1, 1.0, 10.0])
        self.assertTrue(math.isnan(o3[1][2]))
        self.assertEqual(o3[2][1], 40.0)
        self.assertEqual(plot_isopleths.ridge(nox, voc, o3), [0.1, 1.0, 10.0])

    def test_a_grid_with_a_gap_is_refused(self):
        path = write(GAP)
        try:
            with self.assertRaisesRegex(ValueError, "full grid"):
                plot_isopleths.read_grid(path)
            self.assertEqual(plot_isopleths.main([path, "-o", path + ".png"]), 1)
        finally:
            os.unlink(path)


class Draw(unittest.TestCase):
    def test_draws_a_figure(self):
        path = write(CSV)
        try:
            with tempfile.TemporaryDirectory() as out:
                png = os.path.join(out, "iso.png")
                self.assertEqual(plot_isopleths.main([path, "-o", png, "--title", "test"]), 0)
                with open(png, "rb") as f:
                    self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")
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
