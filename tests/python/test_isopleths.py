"""Isopleths from Python: the program's diagram, bit for bit, each point
the run of its scaled scenario; wrong axes refused naming the key."""
import numpy as np
import pytest

from conftest import boxmodel, run_cli, write_scenario

BASE = """
[time]
start_hour = 9.0
hours = 2
[emissions]
profile = "daylight"
NO = 2e11
ISO = 3e11
[output]
every_seconds = 1800
progress_lines = false
formats = ["csv"]
"""


def test_the_programs_diagram_and_each_point_its_own_run(day_dir):
    base_file = write_scenario(day_dir, BASE, "base.toml")
    nox = {"species": ["NO"], "from": 0.5, "to": 2.0, "points": 2}
    voc = {"species": "ISO", "of": "emissions", "from": 0.1, "to": 10.0, "points": 3}
    ds = boxmodel.isopleths(boxmodel.Scenario.from_toml(base_file), nox=nox, voc=voc, ozone=10.25, threads=2)
    assert ds["o3_ppb"].dims == ("nox_factor", "voc_factor")
    np.testing.assert_array_equal(ds["nox_factor"].values, [0.5, 2.0])
    np.testing.assert_array_equal(ds["voc_factor"].values, [0.1, 1.0, 10.0])
    assert (ds["status"].values == 0).all()
    assert ds.attrs["ozone_metric"] == "hour 10.25"

    (day_dir / "iso.toml").write_text(
        'base = "base.toml"\nnox = { species = ["NO"], from = 0.5, to = 2.0, points = 2 }\n'
        'voc = { species = "ISO", of = "emissions", from = 0.1, to = 10.0, points = 3 }\n'
        'ozone = 10.25\n[output]\ndir = "iso-out"\n')
    done = run_cli("isopleths", "iso.toml", "--no-plot", cwd=day_dir)
    assert done.returncode == 0, done.stderr
    rows = np.loadtxt(day_dir / "iso-out" / "isopleths.csv", delimiter=",", skiprows=1)
    np.testing.assert_array_equal(rows[:, 2].reshape(2, 3), ds["o3_ppb"].values)

    # Point (2, 10) as a run of its own: O3 at 10:15, between the samples.
    alone = boxmodel.run(boxmodel.Scenario.from_toml(base_file).replace(
        {"emissions.NO": 2e11 * 2.0, "emissions.ISO": 3e11 * 10.0}))
    t, o3 = alone["time_h"].values, alone["O3"].values * 1e9
    assert list(t[:2]) == [9.0, 9.5]
    # 10.25 lies halfway between the samples of 10:00 and 10:30.
    k = list(t).index(10.0)
    assert ds["o3_ppb"].values[1, 2] == o3[k] + (o3[k + 1] - o3[k]) * 0.5


def test_wrong_axes_are_refused_naming_the_key(day_dir):
    base = boxmodel.Scenario.from_toml(write_scenario(day_dir, BASE, "base.toml"))
    for nox, expected in (({"points": 1}, "nox.points: expected a whole number of at least 2"),
                          ({"species": ["NOO"]}, "nox.species: no species \"NOO\""),
                          ({"step": 2}, "nox.step: unknown key"),
                          ({"species": ["NO2"]}, "emits no NO2")):
        with pytest.raises(boxmodel.ScenarioError, match=expected.replace("\"", ".")) as e:
            boxmodel.isopleths(base, nox=nox)
        assert "boxmodel.isopleths: " in str(e.value)
