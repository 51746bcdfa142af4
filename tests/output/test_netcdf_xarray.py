"""species.nc opened with xarray: the time coordinate decodes to local
date-times from its CF units, and the values are the mole fractions written
(tests/output/samples.hpp). Run as
    test_netcdf_xarray.py PATH/TO/write_sample_netcdf
Skipped (exit 77) where xarray is not installed."""
import math
import os
import subprocess
import sys
import tempfile
import unittest

try:
    import numpy as np
    import xarray as xr
except ImportError:
    print("xarray not installed: skipped")
    sys.exit(77)

WRITER = None


def expected_mole_fraction(index, record):
    """Mole fraction of species `index` (1-based) in `record`, as samples.hpp
    makes it; M (index 80) is 1."""
    if index == 80:
        return 1.0
    return 10.0 ** (-index * 3.7) * (1.0 + (record + 1) / 3.0) / 7.0


class OpenWithXarray(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        subprocess.run([WRITER, cls.tmp.name], check=True)
        cls.ds = xr.open_dataset(os.path.join(cls.tmp.name, "species.nc"))

    @classmethod
    def tearDownClass(cls):
        cls.ds.close()
        cls.tmp.cleanup()

    def test_time_decodes_to_local_datetimes(self):
        time = self.ds["time"]
        self.assertTrue(np.issubdtype(time.dtype, np.datetime64), time.dtype)
        expected = np.array(["2023-08-31T05:00:00", "2023-08-31T05:30:00",
                             "2023-08-31T06:00:00"], dtype="datetime64[ns]")
        np.testing.assert_array_equal(time.values, expected)

    def test_species_are_mole_fractions(self):
        # O3 is species 75, BR2 species 5 of the mechanism.
        for name, index in (("O3", 75), ("BR2", 5), ("HO2", 69)):
            values = self.ds[name].values
            self.assertEqual(values.dtype, np.float64)
            self.assertEqual(len(values), 3)
            for record, value in enumerate(values):
                self.assertTrue(math.isclose(value, expected_mole_fraction(index, record),
                                             rel_tol=1e-15), (name, record, value))
        self.assertEqual(self.ds["O3"].attrs["units"], "mol mol-1")
        self.assertEqual(self.ds["O3"].attrs["standard_name"], "mole_fraction_of_ozone_in_air")

    def test_air_and_attributes(self):
        self.assertEqual(float(self.ds["temperature"][0]), 288.15)
        self.assertEqual(float(self.ds["pressure"][0]), 101325.0)
        self.assertEqual(self.ds.attrs["Conventions"], "CF-1.8")
        self.assertEqual(self.ds.attrs["scenario.time.start_hour"], "5.0")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: test_netcdf_xarray.py PATH/TO/write_sample_netcdf")
    WRITER = sys.argv.pop(1)
    unittest.main()
