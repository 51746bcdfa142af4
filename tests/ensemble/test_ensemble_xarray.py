"""An ensemble of 600 short members read back with xarray and pandas: the
NetCDF file decodes as CF says (calendar time, NaN where a member has no
sample, the status flags), and holds, for every member, the values of the
CSV file (written in blocks of members, the two must agree across block
boundaries). Run as
    test_ensemble_xarray.py PATH/TO/boxmodel EXAMPLE_DAY_DIR
Skipped (exit 77) where xarray or pandas is not installed."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy as np
    import pandas as pd
    import xarray as xr
except ImportError:
    print("xarray or pandas not installed: skipped")
    sys.exit(77)

BOXMODEL = None
EXAMPLE = None
SITE = "ValuesAtSite_extractedFromWRFchemAug31.txt_test"
MEMBERS = 600


class EnsembleFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="boxmodel-ensemble-")
        for name in ("inputn", SITE):
            shutil.copy(os.path.join(EXAMPLE, name), cls.dir)
        with open(os.path.join(cls.dir, "base.toml"), "w") as f:
            f.write('[site]\nparameters = "inputn"\nrecords = "%s"\n' % SITE)
            f.write("[time]\nhours = 2\nstep_seconds = 1800\n")
        with open(os.path.join(cls.dir, "members.csv"), "w") as f:
            f.write("initial.O3,site.records\n")
            for k in range(MEMBERS):
                f.write("%d,%s\n" % (20 + k % 50, "missing.txt" if k % 97 == 5 else SITE))
        with open(os.path.join(cls.dir, "e.toml"), "w") as f:
            f.write('base = "base.toml"\nmembers = "members.csv"\n')
            f.write("[monte_carlo]\nseed = 11\nuncertainty = { R23 = 1.5, R27 = 1.2 }\n")
            f.write('[output]\nspecies = ["O3", "NO2", "HO"]\nformats = ["netcdf", "csv"]\n')
        done = subprocess.run([BOXMODEL, "ensemble", "e.toml", "--threads", "2"], cwd=cls.dir,
                              capture_output=True, text=True)
        cls.status = done.returncode
        cls.stderr = done.stderr
        cls.out = os.path.join(cls.dir, "ensemble-out")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def test_exit_status_and_summary(self):
        self.assertEqual(self.status, 4, self.stderr)
        failed = len([k for k in range(MEMBERS) if k % 97 == 5])
        self.assertIn("%d members, %d succeeded, %d failed" % (MEMBERS, MEMBERS - failed, failed),
                      self.stderr)

    def test_netcdf_decodes_as_cf(self):
        with xr.open_dataset(os.path.join(self.out, "ensemble.nc")) as ds:
            self.assertEqual(dict(ds.sizes)["member"], MEMBERS)
            self.assertEqual(dict(ds.sizes)["time"], 3)
            self.assertEqual(str(ds.time.values[0])[:19], "2025-08-31T05:00:00")
            self.assertEqual(str(ds.time.values[-1])[:19], "2025-08-31T07:00:00")
            self.assertEqual(ds.O3.attrs["units"], "mol mol-1")
            self.assertEqual(list(ds.member.values), list(range(MEMBERS)))
            status = ds.status.values
            for k in range(MEMBERS):
                self.assertEqual(status[k], 1 if k % 97 == 5 else 0, k)
            self.assertTrue(np.isnan(ds.O3.values[5]).all())
            self.assertIn("missing.txt", ds.message.values[5].decode() if isinstance(ds.message.values[5], bytes)
                          else str(ds.message.values[5]))
            self.assertEqual(ds["initial.O3"].values[599], 20 + 599 % 50)
            self.assertEqual(ds.O3.values[1, 0], (20 + 1) / 1e9)
            r23 = ds["chemistry.rate_factors.R23"].values
            # ln f / ln 1.5 is a standard normal deviate per member.
            z = np.log(r23) / np.log(1.5)
            self.assertLess(abs(z.mean()), 0.2)
            self.assertLess(abs(z.std() - 1.0), 0.15)

    def test_csv_holds_the_netcdf_values(self):
        # The round-trip parser reads %.17g back to the very doubles written.
        table = pd.read_csv(os.path.join(self.out, "ensemble.csv"), float_precision="round_trip")
        self.assertEqual(list(table.columns), ["member", "time_h", "O3", "NO2", "HO"])
        with xr.open_dataset(os.path.join(self.out, "ensemble.nc")) as ds:
            ok = [k for k in range(MEMBERS) if k % 97 != 5]
            self.assertEqual(sorted(set(table.member)), ok)
            for species in ("O3", "NO2", "HO"):
                # The CSV holds ppb: the mole fraction times 1e9, rounded once.
                np.testing.assert_array_equal(table[species].values, ds[species].values[ok, :].ravel() * 1e9)
            np.testing.assert_array_equal(table.time_h.values, ds.time_h.values[ok, :].ravel())


if __name__ == "__main__":
    BOXMODEL, EXAMPLE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
