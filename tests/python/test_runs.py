"""Runs from Python against the program's own outputs: the same bits, the
same NetCDF names and attributes, the program's stop on floating-point
exceptions, and a run that can be interrupted and leaves the interpreter's
floating-point mode as it found it."""
import _thread
import threading
import time
from pathlib import Path

import numpy as np
import pandas as pd
import pytest

from conftest import SITE_FILE, SOURCE, boxmodel, run_cli, write_scenario

# Two scenarios: the example day with every species, and one that changes
# every clock, state and chemistry setting a run reads.
SCENARIOS = {
    "example_day": '[output]\nspecies = "all"\n',
    "other_settings": """
[time]
start_hour = 6.5
step_seconds = 600
hours = 7
[initial]
O3 = 40
NO = 0.5
HCHO = 3
[chemistry]
method = "rodas4"
rtol = 1e-4
atol = 10
photolysis_factor = 0.8
[chemistry.rate_factors]
R27 = 2.5
R2 = 0.5
[output]
species = ["O3", "NO2", "HO", "HO2", "BRO", "H2O"]
every_seconds = 1800
diagnostics = true
""",
}


def csv_and_dataset(folder, name):
    text = SCENARIOS[name]
    # The CLI writes CSV and NetCDF (where built) into out/.
    formats = '["csv", "netcdf"]' if boxmodel.netcdf_available() else '["csv"]'
    text = text.replace("[output]", f'[output]\ndir = "out"\nformats = {formats}\nprogress_lines = false\n')
    path = write_scenario(folder, text)
    done = run_cli("run", path, cwd=folder)
    assert done.returncode == 0, done.stderr
    csv = pd.read_csv(folder / "out" / "species.csv", float_precision="round_trip")
    return csv, boxmodel.run(boxmodel.Scenario.from_toml(path))


@pytest.mark.parametrize("name", SCENARIOS)
def test_same_bits_as_the_programs_csv(day_dir, name):
    csv, ds = csv_and_dataset(day_dir, name)
    species = list(csv.columns[1:])
    assert species == [v for v in ds.data_vars][: len(species)]
    assert len(ds.time) == len(csv)
    np.testing.assert_array_equal(ds["time_h"].values, csv["time_h"].values)
    for s in species:
        # The CSV holds ppb, x * 1e9 printed with %.17g.
        assert np.array_equal(ds[s].values * 1e9, csv[s].values), s
    if (day_dir / "out" / "diagnostics.csv").exists():
        # diagnostics.csv in ppb and ppb h-1; the dataset in mol mol-1 (s-1).
        diag = pd.read_csv(day_dir / "out" / "diagnostics.csv", float_precision="round_trip")
        assert np.array_equal(ds["oh_reactivity"].values, diag["oh_reactivity"].values)
        np.testing.assert_allclose(ds["ro2"].values * 1e9, diag["ro2"].values, rtol=1e-14)
        np.testing.assert_allclose(ds["p_o3"].values * 3.6e12, diag["p_o3"].values, rtol=1e-14)
        np.testing.assert_allclose(ds["l_o3"].values * 3.6e12, diag["l_o3"].values, rtol=1e-14)


def assert_dataset_is_the_netcdf_file(path, ds):
    xr = pytest.importorskip("xarray")
    with xr.open_dataset(path) as nc:
        assert list(nc.data_vars) == list(ds.data_vars)
        assert nc.attrs == ds.attrs
        np.testing.assert_array_equal(nc.time.values, ds.time.values)
        assert nc.time.attrs == ds.time.attrs and nc.time.encoding["units"] == ds.time.encoding["units"]
        for v in nc.data_vars:
            assert nc[v].attrs == ds[v].attrs, v
            assert np.array_equal(nc[v].values, ds[v].values), v


@pytest.mark.skipif(not boxmodel.netcdf_available(), reason="built without netCDF")
def test_dataset_is_the_netcdf_file(day_dir, tmp_path):
    _, ds = csv_and_dataset(day_dir, "other_settings")
    assert_dataset_is_the_netcdf_file(day_dir / "out" / "species.nc", ds)
    # A site by keys adds its place and the air's number density, and
    # [output] photolysis every frequency used.
    path = tmp_path / "site.toml"
    path.write_text('[site]\nlatitude = 52.4\nlongitude = -1.9\ndate = "2024-07-15"\nutc_offset_hours = 1.0\n'
                    "[time]\nhours = 6\n[environment]\ntemperature_K = 291.45\npressure_Pa = 95020\n"
                    'relative_humidity = 67.4\n[photolysis]\nmethod = "mcm"\n[output]\ndir = "out"\n'
                    'formats = ["netcdf"]\nspecies = ["O3", "NO2", "HO"]\nphotolysis = true\n')
    done = run_cli("run", path, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    ds = boxmodel.run(boxmodel.Scenario.from_toml(path))
    assert {"latitude", "longitude", "number_density_of_air", "J1", "J4"} <= set(ds.data_vars)
    assert ds.time.attrs["utc_offset_hours"] == 1.0
    assert_dataset_is_the_netcdf_file(tmp_path / "out" / "species.nc", ds)


def test_dataset_decodes_times_and_carries_cf_attributes(day_dir):
    s = boxmodel.Scenario(site={"parameters": str(day_dir / "inputn"),
                                "records": str(day_dir / "ValuesAtSite_extractedFromWRFchemAug31.txt_test")},
                          time={"start_hour": 6.5, "hours": 3}, output={"every_seconds": 1800})
    ds = boxmodel.run(s)
    # The example's parameter file is for 31 August; samples every half hour
    # from 06:30 to the end, 3 hours later.
    assert ds.time.dtype == np.dtype("datetime64[ns]")
    expected = pd.date_range("2025-08-31 06:30", periods=7, freq="30min").values
    np.testing.assert_array_equal(ds.time.values, expected)
    assert ds.time.encoding["units"] == "seconds since 2025-08-31 06:30:00"
    assert ds["O3"].attrs == {"long_name": "mole fraction of O3 in air", "units": "mol mol-1",
                              "standard_name": "mole_fraction_of_ozone_in_air"}
    assert ds["temperature"].attrs["units"] == "K" and ds["pressure"].attrs["units"] == "Pa"
    assert ds.attrs["Conventions"] == "CF-1.8"
    assert ds.attrs["scenario.time.start_hour"] == "6.5"
    assert ds.attrs["scenario.output.every_seconds"] == "1800"
    # Default selection: the species table's 15 species, in its order.
    assert list(ds.data_vars)[:3] == ["O3", "NO", "NO2"] and len(ds.data_vars) == 15 + 3
    assert ds["O3"].values[0] == 1e-8  # the built-in 10 ppb, / 1e9


def test_write_outputs_writes_what_the_program_writes(day_dir):
    path = write_scenario(day_dir, '[time]\nhours = 2\n[output]\ndir = "py"\nformats = ["csv", "table"]\n'
                                   'progress_lines = false\n')
    boxmodel.run(path, write_outputs=True)
    done = run_cli("run", path.name, "--output-dir", "cli", cwd=day_dir)
    assert done.returncode == 0, done.stderr
    for name in ("species.csv", "TS_species.txt"):
        assert (day_dir / "py" / name).read_bytes() == (day_dir / "cli" / name).read_bytes(), name
    # Without write_outputs nothing is written.
    path = write_scenario(day_dir, '[time]\nhours = 1\n[output]\ndir = "none"\nformats = ["csv"]\n')
    boxmodel.run(path)
    assert not (day_dir / "none").exists()


def test_floating_point_stop_as_the_program_and_mode_restored(day_dir):
    path = write_scenario(day_dir, '[time]\nhours = 2\n[chemistry.rate_factors]\nR1 = 1e308\n'
                                   '[output]\nformats = ["csv"]\nprogress_lines = false\n')
    done = run_cli("run", path.name, cwd=day_dir)
    assert done.returncode == 3
    with pytest.raises(boxmodel.IntegrationError) as caught:
        boxmodel.run(path)
    first_line = str(caught.value).splitlines()[0]
    assert done.stderr.splitlines()[0] == "boxmodel: " + first_line
    assert isinstance(caught.value, ArithmeticError)
    # Denormals are read as zero only during a run, and no trap is left on.
    tiny, one = 5e-324, 1.0
    assert tiny * one > 0.0


def test_missing_input_is_an_input_file_error(day_dir):
    with pytest.raises(boxmodel.InputFileError, match="nothere: cannot open"):
        boxmodel.run(boxmodel.Scenario(site={"parameters": str(day_dir / "nothere")}))
    bad = day_dir / "bad_site.txt"
    lines = (day_dir / "ValuesAtSite_extractedFromWRFchemAug31.txt_test").read_text().splitlines()
    bad.write_text("\n".join(lines[:3]) + "\n")  # too few records for 17 hours
    s = boxmodel.Scenario(site={"parameters": str(day_dir / "inputn"), "records": str(bad)})
    with pytest.raises(boxmodel.InputFileError, match="bad_site.txt"):
        boxmodel.run(s)


def test_interrupt_releases_the_lock_and_stops_cleanly(day_dir):
    # A long run: 20 days of 60 s steps, on the day's records over and over.
    lines = (day_dir / SITE_FILE).read_text().splitlines(keepends=True)
    header = [line for line in lines if len(line.split()) != 13]
    records = [line for line in lines if len(line.split()) == 13]
    (day_dir / "long.txt").write_text("".join(header + records * 30))
    path = write_scenario(day_dir, '[time]\nhours = 480\nstep_seconds = 60\n')
    s = boxmodel.Scenario.from_toml(path).replace(site={"records": str(day_dir / "long.txt")})
    ticks = []
    stop = threading.Event()

    def other_thread():
        # Runs only while the run has released the interpreter's lock.
        while not stop.is_set():
            ticks.append(time.perf_counter())
            time.sleep(0.01)

    worker = threading.Thread(target=other_thread)
    worker.start()
    interrupter = threading.Timer(0.5, _thread.interrupt_main)
    try:
        interrupter.start()
        start = time.perf_counter()
        with pytest.raises(KeyboardInterrupt):
            boxmodel.run(s)
        elapsed = time.perf_counter() - start
    finally:
        interrupter.cancel()
        stop.set()
        worker.join()
    assert elapsed < 5.0
    assert sum(1 for t in ticks if start + 0.1 < t < start + 0.45) >= 5
    # The interpreter goes on: the next run gives the usual values.
    short = write_scenario(day_dir, '[time]\nhours = 1\n', name="short.toml")
    assert boxmodel.run(short)["O3"].values[0] == 1e-8
    tiny, one = 5e-324, 1.0
    assert tiny * one > 0.0


def test_integrator_failure_is_a_warning_with_the_programs_report(day_dir):
    # Tolerances no step size can meet: the integrator gives up in each step,
    # and the run carries on, as the program's does.
    path = write_scenario(day_dir, '[time]\nhours = 2\nstep_seconds = 3600\n'
                                   '[chemistry]\nmethod = "ros2"\nrtol = 1e-14\natol = 1e-30\n'
                                   '[output]\nformats = ["csv"]\ndir = "out"\nprogress_lines = false\n')
    done = run_cli("run", path, cwd=day_dir)
    assert done.returncode == 0 and "Forced exit from Rosenbrock" in done.stdout
    with pytest.warns(boxmodel.IntegrationWarning) as caught:
        ds = boxmodel.run(path)
    message = str(caught[0].message)
    assert message.startswith("the integrator gave up in step 1, 2;")
    assert message.split(":\n", 1)[1] == done.stdout.strip()
    csv = pd.read_csv(day_dir / "out" / "species.csv", float_precision="round_trip")
    for s in csv.columns[1:]:
        assert np.array_equal(ds[s].values * 1e9, csv[s].values), s


def test_budgets_are_the_programs_reaction_rates(day_dir):
    """With output.budgets the dataset holds reaction_rate_integral, the
    same bits as the program's reaction_rates.csv, open-box processes
    included; the species are those of a run without budgets, and a run
    from Python writes no budget files."""
    text = """
[time]
hours = 4
[emissions]
NO = 3e10
[deposition]
O3 = 0.5
[output]
dir = "out"
formats = ["csv"]
progress_lines = false
budgets = true
"""
    path = write_scenario(day_dir, text)
    done = run_cli("run", path, cwd=day_dir)
    assert done.returncode == 0, done.stderr
    rates = pd.read_csv(day_dir / "out" / "reaction_rates.csv", float_precision="round_trip")
    scenario = boxmodel.Scenario.from_toml(path)
    ds = boxmodel.run(scenario)
    names = list(rates.columns[2:])
    assert list(ds["reaction"].values) == names
    assert sorted(names[-2:]) == ["deposition_O3", "emission_NO"]  # in species order
    assert ds["equation"].sel(reaction="R3").item() == "O3 -> O3P"
    assert ds["reaction_rate_integral"].dims == ("time_interval", "reaction")
    np.testing.assert_array_equal(ds["start_h"].values, rates["start_h"].values)
    np.testing.assert_array_equal(ds["reaction_rate_integral"].values, rates[names].values)
    without = boxmodel.run(scenario.replace(output={"budgets": False}))
    assert "reaction_rate_integral" not in without
    for s in ("O3", "NO", "HO"):
        assert np.array_equal(ds[s].values, without[s].values), s
    assert sorted(p.name for p in (day_dir / "out").iterdir()) == [
        "budgets.csv", "reaction_rates.csv", "species.csv"]


# Sites where the sun's declination exceeds the latitude (tropics in June,
# the southern hemisphere), polar day and night, and both sides of the date
# line: day, latitude, longitude (positive west), standard meridian.
GLOBE = {
    "tropics_june": (172, 9.0, 79.5, 75.0),
    "south_winter": (172, -33.9, -151.2, -150.0),
    "south_summer": (355, -33.9, -151.2, -150.0),
    "polar_day": (172, 78.2, -15.6, -15.0),
    "polar_night": (355, 78.2, -15.6, -15.0),
    "date_line_east": (200, -17.8, -179.6, -180.0),
    "date_line_west": (200, -14.3, 179.6, 180.0),
}


def test_runs_and_ensembles_across_the_globe(day_dir):
    lines = (day_dir / "inputn").read_text().splitlines()
    for name, (day, lat, lon, meridian) in GLOBE.items():
        site = lines.copy()
        site[0], site[1] = f"{day} 2025", f"{lat} {lon} {meridian}"
        (day_dir / f"inputn_{name}").write_text("\n".join(site) + "\n")
    base = boxmodel.Scenario.from_toml(write_scenario(day_dir, "[time]\nhours = 4\n[output]\nbudgets = true\n"))
    for name in GLOBE:
        ds = boxmodel.run(base.replace({"site.parameters": str(day_dir / f"inputn_{name}")}))
        assert ds.sizes["time"] == 5, name
        assert np.isfinite(ds["O3"].values).all() and (ds["O3"].values > 0).all(), name
    members = pd.DataFrame({"site.parameters": [str(day_dir / f"inputn_{n}") for n in GLOBE]})
    ens = boxmodel.ensemble(base, members, threads=2)
    assert list(ens["status"].values) == [0] * len(GLOBE), ens["message"].values
    assert np.isfinite(ens["O3"].values).all()


def test_errors_are_raised_by_kind(day_dir):
    """Each kind of failure is its own class (not merely a subclass of the
    expected one's base)."""
    obs = day_dir / "obs.csv"
    obs.write_text("time_h,O3\n5,-1\n")
    cases = [
        (boxmodel.ScenarioError, {"initial": {"O33": 1.0}}),
        (boxmodel.InputFileError, boxmodel.Scenario(site={"parameters": str(day_dir / "nothere")})),
        (boxmodel.InputFileError, boxmodel.Scenario.from_toml(write_scenario(
            day_dir, f'[constraints]\nfile = "{obs.name}"\n', name="obs.toml"))),
        (boxmodel.IntegrationError, boxmodel.Scenario.from_toml(write_scenario(
            day_dir, '[time]\nhours = 1\n[emissions]\nNO = 5e24\n', name="runaway.toml"))),
        # A species a mechanism file lacks is the scenario's fault.
        (boxmodel.ScenarioError, boxmodel.Scenario(
            site={"parameters": str(day_dir / "inputn"), "records": str(day_dir / SITE_FILE)}, time={"hours": 1},
            chemistry={"mechanism": str(SOURCE / "tests" / "data" / "mcm" / "mcm331-methane.fac")},
            initial={"XYZ": 1.0})),
    ]
    for kind, scenario in cases:
        with pytest.raises(boxmodel.BoxModelError) as caught:
            boxmodel.run(scenario)
        assert type(caught.value) is kind, (kind, caught.value)
    # The runaway state names the species and the time, as the program does.
    with pytest.raises(boxmodel.IntegrationError, match=r"^NO2? reached .* ppb at 05:05 local time"):
        boxmodel.run(cases[-2][1])
    # The unknown species is named with its key; given anew, the section
    # holds it no more.
    mcm = cases[-1][1]
    with pytest.raises(boxmodel.ScenarioError, match=r'^boxmodel\.Scenario: initial\.XYZ: no species "XYZ" in mechanism '):
        boxmodel.run(mcm)
    mcm.initial = {"CH4": 1900.0}
    assert boxmodel.run(mcm)["CH4"].values[0] == 1900.0 / 1e9


def test_time_values_across_midnight(day_dir):
    """The datetimes themselves: seconds since the start, decoded (a time
    axis read as hours would keep its dtype and length)."""
    lines = (day_dir / "ValuesAtSite_extractedFromWRFchemAug31.txt_test").read_text().splitlines()
    (day_dir / "long.txt").write_text("\n".join(lines + lines[6:]) + "\n")
    s = boxmodel.Scenario(site={"parameters": str(day_dir / "inputn"), "records": str(day_dir / "long.txt")},
                          time={"start_hour": 22.0, "hours": 4, "step_seconds": 600},
                          output={"every_seconds": 5400})
    ds = boxmodel.run(s)
    assert [str(t) for t in ds.time.values.astype("datetime64[s]")] == [
        "2025-08-31T22:00:00", "2025-08-31T23:30:00", "2025-09-01T01:00:00", "2025-09-01T02:00:00"]
    np.testing.assert_array_equal(ds["time_h"].values, [22.0, 23.5, 25.0, 26.0])


def test_the_namespace_is_the_documented_one():
    for name in ("np", "warnings", "NamedTuple"):
        assert not hasattr(boxmodel, name), name
    assert all(hasattr(boxmodel, name) for name in boxmodel.__all__)


def test_spin_up_days_in_the_attributes_and_not_converged_is_a_warning(tmp_path):
    site = Path(__file__).resolve().parents[2] / "examples" / "two-day"
    path = tmp_path / "spin.toml"
    path.write_text(f'[site]\nparameters = "{site / "inputn"}"\nrecords = "{site / "ValuesAtSite_two_days.txt"}"\n'
                    '[time]\nstart_hour = 0.0\nhours = 24\n'
                    '[spin_up]\nmax_days = 2\ntolerance = 1e-9\n[output]\nspecies = ["O3"]\n')
    with pytest.warns(RuntimeWarning, match=r"not converged after max_days = 2 days: .* [A-Z0-9]+ by [0-9]"):
        ds = boxmodel.run(boxmodel.Scenario.from_toml(path))
    assert ds.attrs["spin_up_days"] == 2
    # The run starts from the second day's end, not the initial state.
    one_day = tmp_path / "one.toml"
    one_day.write_text(path.read_text().replace("max_days = 2", "max_days = 1"))
    with pytest.warns(RuntimeWarning):
        plain = boxmodel.run(boxmodel.Scenario.from_toml(one_day))
    assert ds["O3"].values[0] != plain["O3"].values[0]
    # output = "all": every day, numbered by the coordinate day along time,
    # the forcing of each day day 1's, the last day the run above; written
    # as the program writes it.
    every = tmp_path / "all.toml"
    every.write_text(path.read_text().replace('[output]\n', f'output = "all"\n[output]\ndir = "{tmp_path / "out"}"\n'
                                              'formats = ["csv"]\n'))
    with pytest.warns(RuntimeWarning):
        days = boxmodel.run(boxmodel.Scenario.from_toml(every), write_outputs=True)
    assert days.sizes["time"] == 3 * ds.sizes["time"] and days.attrs["spin_up_days"] == 2
    assert list(np.unique(days["day"].values)) == [1, 2, 3]
    one, two, run = (days.where(days["day"] == n, drop=True) for n in (1, 2, 3))
    assert np.array_equal(one["temperature"].values, two["temperature"].values)
    assert np.array_equal(one["time_h"].values, run["time_h"].values)
    assert np.array_equal(run["O3"].values, ds["O3"].values)
    assert two["O3"].values[-1] == run["O3"].values[0]
    lines = (tmp_path / "out" / "species.csv").read_text().splitlines()
    assert lines[0] == "day,time_h,O3" and len(lines) == 1 + days.sizes["time"]


def test_a_mechanism_file_runs_as_the_program_runs_it(day_dir):
    """Scenario(chemistry={"mechanism": path}) runs the file: its species by
    their names and its diagnostics, the same bits as `boxmodel run` of the
    same scenario."""
    fac = SOURCE / "tests" / "data" / "mcm" / "mcm331-isoprene.fac"
    keys = {"time": {"start_hour": 8.0, "hours": 4}, "chemistry": {"mechanism": str(fac)},
            "initial": {"O3": 30.0, "NO2": 5.0, "C5H8": 2.0}, "output": {"diagnostics": True}}
    s = boxmodel.Scenario(site={"parameters": str(day_dir / "inputn"), "records": str(day_dir / SITE_FILE)}, **keys)
    ds = boxmodel.run(s)
    assert len(ds.data_vars) == 610 + 3 + 4 and "C5H8" in ds.data_vars and "OH" in ds.data_vars
    assert ds["C5H8"].values[0] == 2.0 / 1e9 and ds["C5H8"].values[-1] < 0.2 * ds["C5H8"].values[0]
    # chemistry.kernels = "loops": the loop kernels, the same bits; the
    # dataset's attributes say which kernels ran.
    assert ds.attrs["kernels"] in ("machine code (x86-64)", "loops") and "scenario.chemistry.kernels" not in ds.attrs
    keys["chemistry"]["kernels"] = "loops"
    loops = boxmodel.run(boxmodel.Scenario(site={"parameters": str(day_dir / "inputn"),
                                                 "records": str(day_dir / SITE_FILE)}, **keys))
    assert loops.attrs["kernels"] == "loops" and loops.attrs["scenario.chemistry.kernels"] == "loops"
    for v in ds.data_vars:
        assert np.array_equal(loops[v].values, ds[v].values), v
    write_scenario(day_dir, f'[time]\nstart_hour = 8.0\nhours = 4\n[chemistry]\nmechanism = "{fac}"\n'
                            '[initial]\nO3 = 30.0\nNO2 = 5.0\nC5H8 = 2.0\n'
                            '[output]\nformats = ["csv"]\nspecies = ["C5H8", "OH", "O3"]\ndiagnostics = true\n')
    r = run_cli("run", "run.toml", cwd=day_dir)
    assert r.returncode == 0, r.stderr
    csv = pd.read_csv(day_dir / "species.csv", float_precision="round_trip")
    for name in ("C5H8", "OH", "O3"):
        assert list(csv[name]) == list(ds[name].values * 1e9), name
    diag = pd.read_csv(day_dir / "diagnostics.csv", float_precision="round_trip")
    assert list(diag["oh_reactivity"]) == list(ds["oh_reactivity"].values) and diag["oh_reactivity"].min() > 0.0
    np.testing.assert_allclose(ds["p_o3"].values * 3.6e12, diag["p_o3"].values, rtol=1e-14)
