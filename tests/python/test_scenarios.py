"""Scenarios from Python: the model's defaults and checks, with its messages
naming the key; files read as the program reads them; TOML round trips."""
import copy
import math
import pickle

import numpy as np
import pytest

from conftest import SITE_FILE, boxmodel, run_cli, write_scenario

S = boxmodel.Scenario


def test_defaults_are_the_models_own_day():
    s = S()
    assert s.source == "default scenario"
    assert (s.time.start_hour, s.time.step_seconds, s.time.hours) == (5.0, 300, 17.0)
    assert s.site.parameters == "inputn" and s.site.records == SITE_FILE
    assert s.chemistry.method == "ros3" and s.chemistry.rtol == 1e-3 and s.chemistry.atol == 1.0
    assert dict(s.initial) == {} and dict(s.chemistry.rate_factors) == {}
    assert s.output.formats == ["table"] and s.output.progress_lines is True
    assert s.output_species[:3] == ["O3", "NO", "NO2"] and len(s.output_species) == 15
    assert s.total_steps == 204


def test_every_section_of_the_schema_is_an_attribute():
    s = S()
    # Sections with no keys set yet, sub-tables included.
    assert dict(s.emissions) == {"mixing_height_m": 1000.0, "profile": "constant"}
    assert dict(s.deposition) == {} and dict(s.dilution.background) == {} and dict(s.constraints) == {}
    s.emissions.NO = 5e10
    s.dilution.background.CO = 100
    assert s.emissions.NO == 5e10 and s["emissions.NO"] == 5e10
    assert s.dilution.background.CO == 100.0 and s["dilution.background.CO"] == 100.0
    with pytest.raises(AttributeError, match="sections: site, time, initial, chemistry, rate_parameters, constraints"):
        s.emission
    with pytest.raises(boxmodel.ScenarioError, match="initial.O3: expected a mole fraction of at most 1e9 ppb"):
        s.initial.O3 = 1e12


def test_repr_shows_what_the_scenario_sets(tmp_path):
    assert repr(S()) == "<Scenario: every key at its default (the model's own day)>"
    assert repr(S(initial={"O3": 40}, time={"hours": 48})) == "<Scenario: time.hours=48, initial.O3=40>"
    path = tmp_path / "run.toml"
    path.write_text('[chemistry]\nmethod = "rodas4"\n')
    assert repr(S.from_toml(path)) == f"<Scenario {path.as_posix()}: chemistry.method=rodas4>"


def test_keys_set_in_every_form():
    s = S(initial={"O3": 40, "no": 1}, time={"hours": 48})
    assert s.initial.O3 == 40.0 and s["initial.NO"] == 1.0 and s.time.hours == 48.0
    s.time.step_seconds = 600
    s.chemistry["method"] = "rodas4"
    s["chemistry.rate_factors.R27"] = np.float64(2.0)
    s.output = {"species": ("O3", "HO")}
    assert s.time.step_seconds == 600 and s.chemistry.method == "rodas4"
    assert s.chemistry.rate_factors.to_dict() == {"R27": 2.0}
    assert s.output.species == ["O3", "HO"] and s.output_species == ["O3", "HO"]
    t = s.replace({"time.hours": 24})
    assert (t.time.hours, s.time.hours) == (24.0, 48.0)
    assert S({"time.hours": 48, "initial": {"O3": 40}}).to_dict()["time"]["hours"] == 48.0
    # A mapping assigned to a section is the whole section, whether the keys
    # before came from a file or were set since; replace() sets keys.
    s.initial = {"NO2": 2}
    assert s.initial.to_dict() == {"NO2": 2.0} and t.initial.to_dict() == {"O3": 40.0, "NO": 1.0}
    f = S.from_toml_text("[initial]\nO3 = 40\nNO = 1\n[chemistry.rate_factors]\nR27 = 2.0\n")
    f.chemistry.rate_factors = {"R1": 3.0}
    f["initial"] = {"NO2": 2}
    assert f.initial.to_dict() == {"NO2": 2.0} and f.chemistry.rate_factors.to_dict() == {"R1": 3.0}
    # A rate parameter's name holds dots: one key of [rate_parameters].
    r = S(rate_parameters={"PHOTO.O2_1": 1e-11})
    r["rate_parameters.USER.k 2"] = 2.0
    assert r.rate_parameters.to_dict() == {"PHOTO.O2_1": 1e-11, "USER.k 2": 2.0}
    assert pickle.loads(pickle.dumps(f)) == f and f.replace(initial={"NO": 1}).initial.to_dict() == {"NO2": 2.0, "NO": 1.0}


# (keys, exception text): wrong types, unknown keys, None, NaN, huge values
# and arrays. Each message starts with where the value came from and names
# the key.
BAD = [
    ({"time": {"hours": -1}}, "time.hours: expected a positive length in hours, found -1"),
    ({"time": {"hours": None}}, "time.hours: expected a number, found None"),
    ({"time": {"hours": "long"}}, "time.hours: expected a number, found a string"),
    ({"time": {"hours": [1, 2]}}, "time.hours: expected a number, found a list holding int"),
    ({"time": {"step_seconds": 7}}, "time.step_seconds: expected a whole number of seconds that divides 3600"),
    ({"time": {"step_seconds": 2**80}}, "time.step_seconds: expected a whole number"),
    ({"time": {"hours": 2.0**1000}}, "time.hours: expected a length of at most 878400 hours (100 years"),
    ({"time": {"hours": 10**400}}, "time.hours: expected a finite number, found inf"),
    ({"initial": {"O3": -(10**400)}}, "initial.O3: expected a finite number, found -inf"),
    ({"time": 5}, "time: expected a table ([time])"),
    ({"tim": {"hours": 5}}, "tim: unknown key (did you mean time?)"),
    ({"time": {"hourz": 5}}, "time.hourz: unknown key (did you mean hours?)"),
    ({"initial": {"O3": math.nan}}, "initial.O3: expected a finite number, found nan"),
    ({"initial": {"O3": -math.inf}}, "initial.O3: expected a finite number, found -inf"),
    ({"initial": {"O3": np.zeros(10**7)}}, "initial.O3: expected a number, found an array of shape (10000000,)"),
    ({"initial": {"O3": [0.0] * 10**6}}, "initial.O3: expected a number, found a list holding float"),
    ({"initial": {"XYZ": 1}}, "initial.XYZ: no species of that name"),
    ({"initial": {"M": 1}}, "initial.M: M is the air itself and cannot be set"),
    ({"initial": {"O3": True}}, "initial.O3: expected a number, found a boolean"),
    ({"chemistry": {"method": "euler"}}, 'chemistry.method: expected one of ros2, ros3, ros4, rodas3, rodas4, found "euler"'),
    ({"chemistry": {"rate_factors": {"R250": 2}}}, "chemistry.rate_factors.R250: no reaction of that name"),
    ({"output": {"species": ["O3", "O3"]}}, 'output.species: "O3" is listed twice'),
    ({"output": {"species": [1, 2]}}, "output.species: expected an array of strings, found a list holding int"),
    ({"output": {"progress_lines": None}}, "output.progress_lines: expected true or false, found None"),
    ({"output": {"formats": ["pdf"]}}, 'output.formats: expected "table", "csv" or "netcdf", found "pdf"'),
    ({"output": {"every_seconds": 450}}, "output.every_seconds: expected a multiple of the step (300 s)"),
    ({"output": {"dir": object()}}, "output.dir: expected a string, found an object"),
    ({1: {"hours": 2}}, "expected keys that are non-empty strings, found 1"),
    ({"initial": {"\ud800": 1}}, "initial.\ud800: expected text, found '\\ud800' (not UTF-8)"),
    ({"site": {"records": "a\0b"}}, "site.records: expected text, found 'a\\x00b' (a NUL character)"),
    ({"site": {"parameters": b"inputn"}}, "site.parameters: expected a string, found a bytes"),
    ({"initial": {"O3": complex(1, 2)}}, "initial.O3: expected a number, found a complex"),
    ({"output": {"species": np.array(["O3", "O3"])}}, 'output.species: "O3" is listed twice'),
]


@pytest.mark.parametrize("keys, message", BAD, ids=[m.split(":")[0] + str(i) for i, (_, m) in enumerate(BAD)])
def test_invalid_keys_raise_scenario_errors_naming_the_key(keys, message):
    with pytest.raises(boxmodel.ScenarioError) as caught:
        S(keys)
    assert str(caught.value).startswith("boxmodel.Scenario: ")
    assert message in str(caught.value)
    assert isinstance(caught.value, ValueError)


def test_any_depth_of_sections_is_a_scenario_error():
    deep = value = {}
    for _ in range(5000):
        value["level"] = {}
        value = value["level"]
    value["key"] = 1
    with pytest.raises(boxmodel.ScenarioError, match="boxmodel.Scenario: level: unknown key"):
        S(deep)


def test_a_rejected_key_leaves_the_scenario_as_it_was():
    s = S(time={"hours": 5})
    with pytest.raises(boxmodel.ScenarioError):
        s.time.hours = -5
    with pytest.raises(boxmodel.ScenarioError):
        s.nonsense = 1
    assert s.time.hours == 5.0 and s == S(time={"hours": 5})
    with pytest.raises(AttributeError):
        s.time.nonsense
    with pytest.raises(boxmodel.ScenarioError, match="expected a mapping"):
        S([("time", 1)])


def test_files_are_read_as_the_program_reads_them(tmp_path):
    (tmp_path / "sub").mkdir()
    path = write_scenario(tmp_path / "sub", '[time]\nhours = 3\n[output]\ndir = "results"\n')
    s = S.from_toml(path)
    # Relative paths are relative to the file's folder.
    assert s.site.parameters == str(tmp_path / "sub" / "inputn")
    assert s.output.dir == str(tmp_path / "sub" / "results")
    assert s.source == str(path) and s.time.hours == 3.0
    # A later key is checked against the file's keys, and named by its origin.
    with pytest.raises(boxmodel.ScenarioError, match="boxmodel.Scenario: time.step_seconds: .*found 7"):
        s.time.step_seconds = 7

    bad = tmp_path / "bad.toml"
    bad.write_text("[time]\nhours = 3\n\n[chemistry]\nrtol = 2\n")
    with pytest.raises(boxmodel.ScenarioError) as caught:
        S.from_toml(bad)
    assert str(caught.value) == f"{bad}: line 5: chemistry.rtol: expected a relative tolerance below 1, found 2"
    # The program says the same, after its "boxmodel: ".
    done = run_cli("run", bad, cwd=tmp_path)
    assert done.returncode == 1 and done.stderr.strip() == f"boxmodel: {caught.value}"

    bad.write_text("[time\nhours = 3\n")
    with pytest.raises(boxmodel.ScenarioError, match=r"bad.toml: line 1: "):
        S.from_toml(bad)
    with pytest.raises(boxmodel.ScenarioError, match="missing.toml: cannot read the scenario file"):
        S.from_toml(tmp_path / "missing.toml")
    with pytest.raises(TypeError):
        S.from_toml(None)


def test_toml_round_trip(tmp_path):
    where = {"parameters": str(tmp_path / "inputn"), "records": str(tmp_path / "records.txt")}
    s = S(site=where, output={"dir": str(tmp_path)}).replace(initial={"O3": 40, "BR2": 1e-2}, time={"start_hour": 7.25, "hours": 6, "step_seconds": 900},
          chemistry={"method": "ros4", "rate_factors": {"R3": 0.5, "R100": 3}},
          output={"species": ["O3", "HO"], "formats": ["csv", "table"], "every_seconds": 1800,
                  "progress_lines": False})
    path = tmp_path / "written.toml"
    text = s.to_toml(path)
    assert path.read_text() == text
    back = S.from_toml(path)
    assert back == s and back.describe() == s.describe() and back.to_dict() == s.to_dict()
    assert S.from_toml_text(text) == s
    # Copies and pickles are the same scenario, and independent of it.
    for other in (copy.deepcopy(s), pickle.loads(pickle.dumps(s)), S.from_toml(path).copy()):
        assert other == s
        other.time.hours = 3
        assert s.time.hours == 6.0
    assert s.describe()["chemistry.rate_factors.R100"] == "3"
    assert s != S()


def test_sections_of_the_site_environment_photolysis_and_families(tmp_path):
    (tmp_path / "met.csv").write_text("time_h,temperature_K,relative_humidity\n0,290,60\n48,292,70\n")
    # The records for the keys that read them (a family from_records, the
    # cloud correction): [environment] gives the air, so without them the
    # scenario is refused.
    s = S(site={"latitude": 52.4, "longitude": -1.9, "date": "2024-07-15", "utc_offset_hours": 1,
                "records": str(tmp_path / "records.txt")},
          environment={"file": str(tmp_path / "met.csv"), "pressure_Pa": 95020},
          photolysis={"method": "mcm", "cloud_correction": True},
          spin_up={"max_days": 5},
          constraints={"families": {"NOx": {"members": ["NO", "NO2"], "from_records": True}}},
          output={"families": {"Ox": ["O3", "NO2"]}, "diagnostics": True})
    assert s.site.date == "2024-07-15" and s.environment.pressure_Pa == 95020.0
    assert s.constraints.families.NOx.to_dict() == {"members": ["NO", "NO2"], "from_records": True}
    assert s.output.families.Ox == ["O3", "NO2"] and s.spin_up.tolerance == 0.001
    assert s.describe()["constraints.families.NOx"] == "NO,NO2 (from_records)"
    assert S.from_toml_text(s.to_toml()) == s
    with pytest.raises(boxmodel.ScenarioError, match="site.parameters: a parameter file and the site by keys"):
        s.site.parameters = "inputn"
    with pytest.raises(boxmodel.ScenarioError, match="photolysis.cloud_correction: needs the site records"):
        S(environment={"temperature_K": 290, "pressure_Pa": 95020}, photolysis={"cloud_correction": True})
