"""Ensembles from Python: every member is the bits of its own run, the
same with any number of threads; a member that fails fails alone; the
Monte-Carlo factors follow the seed."""
import numpy as np
import pandas as pd
import pytest

from conftest import boxmodel, write_scenario

BASE = """
[time]
hours = 3
[output]
species = ["O3", "NO", "HO"]
"""


@pytest.fixture
def base(day_dir):
    return boxmodel.Scenario.from_toml(write_scenario(day_dir, BASE))


def test_members_are_their_single_runs_whatever_the_threads(base):
    members = pd.DataFrame({"initial.O3": [20.0, 35.0, 50.0],
                            "chemistry.rate_factors.R27": [1.0, 1.3, 0.8],
                            "time.start_hour": [5, 6, 5]})
    one = boxmodel.ensemble(base, members, threads=1)
    two = boxmodel.ensemble(base, members, threads=2)
    assert one.sizes == {"member": 3, "time": 4}
    assert list(one["status"].values) == [0, 0, 0]
    for name in ("O3", "NO", "HO", "time_h"):
        assert np.array_equal(one[name].values, two[name].values), name
    for k, row in members.iterrows():
        alone = boxmodel.run(base.replace({key: getattr(v, "item", lambda v=v: v)() for key, v in row.items()}))
        assert np.array_equal(one["time_h"].values[k], alone["time_h"].values)
        for name in ("O3", "NO", "HO"):
            assert np.array_equal(one[name].values[k], alone[name].values), (k, name)
    np.testing.assert_array_equal(one["initial.O3"].values, members["initial.O3"].values)


def test_a_failing_member_fails_alone(base, day_dir):
    # Relative paths in the table are taken from the working directory.
    members = pd.DataFrame({"site.records": [str(day_dir / "ValuesAtSite_extractedFromWRFchemAug31.txt_test"),
                                             str(day_dir / "no-such-file.txt")],
                            "initial.NO": [0.1, 0.1]})
    ds = boxmodel.ensemble(base, members)
    assert list(ds["status"].values) == [0, 1]
    assert "no-such-file.txt" in str(ds["message"].values[1])
    assert np.isfinite(ds["O3"].values[0]).all()
    assert np.isnan(ds["O3"].values[1]).all()


def test_monte_carlo_follows_the_seed(base):
    mc = {"members": 3, "seed": 11, "uncertainty": {"default": 1.3}}
    a = boxmodel.ensemble(base, monte_carlo=mc)
    b = boxmodel.ensemble(base, monte_carlo=mc, threads=1)
    c = boxmodel.ensemble(base, monte_carlo={**mc, "seed": 12})
    assert np.array_equal(a["O3"].values, b["O3"].values)
    assert not np.array_equal(a["O3"].values, c["O3"].values)
    assert len({float(a["O3"].values[k, -1]) for k in range(3)}) == 3
    with pytest.raises(boxmodel.ScenarioError, match="R999"):
        boxmodel.ensemble(base, monte_carlo={"members": 2, "uncertainty": {"R999": 1.2}})


def test_the_dataset_has_ensemble_nc_time_labels_and_text(base, day_dir):
    members = pd.DataFrame({"initial.O3": [20.0, 35.0], "chemistry.method": ["ros3", "rodas4"]},
                           index=["low", "high"])
    ds = boxmodel.ensemble(base, members)
    # The time coordinate of ensemble.nc: the base's samples, decoded.
    expected = pd.date_range("2025-08-31 05:00", periods=4, freq="1h").values
    np.testing.assert_array_equal(ds["time"].values, expected)
    assert "elapsed" not in ds
    assert list(ds["member_label"].values) == ["low", "high"]
    # Text comes back as str, never bytes.
    assert [type(v) for v in ds["message"].values] == [str, str]
    assert list(ds["chemistry.method"].values) == ["ros3", "rodas4"]
    assert all(isinstance(v, str) for v in ds["chemistry.method"].values)


def test_a_wrong_table_raises_naming_row_index_and_column(base):
    # A header that is no key: the table is wrong, not every member.
    with pytest.raises(boxmodel.ScenarioError, match=r"members: column 1: initial\.OO3: no species"):
        boxmodel.ensemble(base, pd.DataFrame({"initial.OO3": [20.0, 30.0]}))
    # A text cell in a number column: its row, index label and column.
    table = pd.DataFrame({"initial.NO": [0.1, 0.2], "initial.O3": [20.0, "forty"]}, index=["a", "b"])
    with pytest.raises(boxmodel.ScenarioError,
                       match=r"^members: row 1 \(index 'b'\): column 2: initial\.O3: expected a number"):
        boxmodel.ensemble(base, table)
    # A value out of range stays the member's own failure, named by its row.
    ds = boxmodel.ensemble(base, pd.DataFrame({"time.step_seconds": [300, 7]}, index=[10, 20]))
    assert list(ds["status"].values) == [0, 1]
    assert ds["message"].values[1].startswith("members: row 1 (index 20): time.step_seconds: ")

