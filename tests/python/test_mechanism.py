"""The mechanism and its rate coefficients from Python, against the
boxmodel-rates listing and the kinetics of two well-known reactions."""
import math
import subprocess

import numpy as np
import pytest

from conftest import SOURCE, boxmodel, program


def rates_listing(*args):
    out = subprocess.run([str(program("bin/boxmodel-rates")), *args], capture_output=True, text=True,
                         check=True).stdout
    rows = [line.split("  ") for line in out.splitlines()[1:]]
    rows = [[field.strip() for field in row if field.strip()] for row in rows]
    return [(int(r[0]), r[1], r[2], r[3]) for r in rows]


def test_tables_of_species_and_reactions():
    species, reactions = boxmodel.mechanism()
    assert len(species) == 80 and list(species.columns) == ["name", "index", "kind"]
    assert list(species.index) == list(species["name"]) and species.loc["HO2", "name"] == "HO2"
    assert list(species["index"]) == list(range(1, 81))
    assert list(species.index[-2:]) == ["H2O", "M"] and set(species["kind"][-2:]) == {"fixed"}
    assert (species["kind"][:78] == "integrated").all()
    assert len(reactions) == 249 and list(reactions.index) == list(range(1, 250))
    assert list(reactions["number"]) == list(range(1, 250))
    assert reactions.loc[1, "equation"] == "NO2 -> O3P + NO"
    assert reactions.loc[1, "rate_law"] == "photolysis"
    assert set(reactions["order"]) <= {1, 2, 3}
    listing = rates_listing("--temp", "298", "--cm", "2.5e19")
    assert [(n, eq, unit) for n, eq, _, unit in listing] == list(
        zip(reactions.index, reactions["equation"], reactions["unit"]))


@pytest.mark.parametrize("photolysis", [False, True])
def test_coefficients_as_boxmodel_rates_lists_them(photolysis):
    k = boxmodel.rate_coefficients(298, 2.5e19, photolysis=photolysis)
    assert isinstance(k, np.ndarray) and k.shape == (249,) and k.dtype == np.float64
    listing = rates_listing("--temp", "298", "--cm", "2.5e19", *(["--photolysis"] if photolysis else []))
    assert [f"{v:.6e}" for v in k] == [printed for _, _, printed, _ in listing]
    _, reactions = boxmodel.mechanism()
    photolytic = (reactions["rate_law"] == "photolysis").to_numpy()
    assert (k[photolytic] > 0).all() if photolysis else (k[photolytic] == 0).all()


def test_known_coefficients():
    _, reactions = boxmodel.mechanism()
    k = boxmodel.rate_coefficients(298.0, 2.5e19)
    number = {eq: n for n, eq in reactions["equation"].items()}
    # O3 + NO -> NO2: 3.0e-12 exp(-1500/T) (the JPL recommendation).
    no_o3 = [n for eq, n in number.items() if eq.startswith("O3 + NO ->") or eq.startswith("NO + O3 ->")]
    assert len(no_o3) == 1
    assert k[no_o3[0] - 1] == pytest.approx(3.0e-12 * math.exp(-1500.0 / 298.0), rel=0.05)
    # With a positive activation energy the coefficient grows with temperature.
    assert boxmodel.rate_coefficients(320.0, 2.5e19)[no_o3[0] - 1] > k[no_o3[0] - 1]


@pytest.mark.parametrize("temp, cm", [(0, 2.5e19), (-5, 2.5e19), (298, math.nan), (298, math.inf), ("warm", 1e19),
                                      (None, 1e19)])
def test_bad_air_state_is_a_value_error(temp, cm):
    with pytest.raises(ValueError, match="expected a positive number"):
        boxmodel.rate_coefficients(temp, cm)


def test_tables_of_a_mechanism_file(tmp_path):
    """The same tables for a file: the built-in mechanism exported and read
    back has the built-in reactions without the fixed M and H2O; the
    shipped isoprene subset its own counts; a fault names file, line and
    column."""
    exported = subprocess.run([str(program("bin/boxmodel")), "mechanism", "export"], capture_output=True,
                              text=True, check=True).stdout
    (tmp_path / "model.fac").write_text(exported)
    species, reactions = boxmodel.mechanism(tmp_path / "model.fac")
    builtin_species, builtin_reactions = boxmodel.mechanism()
    assert list(species.columns) == list(builtin_species.columns)
    assert list(reactions.columns) == list(builtin_reactions.columns) + ["line"]
    assert list(species.index) == list(builtin_species.index[:78]) and (species["kind"] == "integrated").all()
    assert list(reactions.index) == list(range(1, 250))
    assert reactions.loc[27, "equation"] == "O3P = O3"
    assert reactions.loc[27, "rate_law"] == "6D-34*M*(TEMP/300)**(-2.3)*M"
    fixed = builtin_reactions["equation"].str.contains(r"\+ (?:M|H2O) ->")
    assert (reactions["order"][~fixed] == builtin_reactions["order"][~fixed]).all()
    assert (reactions["order"][fixed] == builtin_reactions["order"][fixed] - 1).all()

    isoprene = str(SOURCE / "tests" / "data" / "mcm" / "mcm331-isoprene.fac")
    species, reactions = boxmodel.mechanism(isoprene)
    report = subprocess.run([str(program("bin/boxmodel")), "mechanism", "check", isoprene], capture_output=True,
                            text=True, check=True).stdout.splitlines()
    assert report[1].startswith(f"species: {len(species)}") and report[2] == f"reactions: {len(reactions)}"
    assert species.loc["C5H8", "index"] >= 1 and (reactions["line"].diff()[1:] >= 0).all()

    (tmp_path / "bad.fac").write_text("VARIABLE A ;\n% 1 : A = B ;\n")
    with pytest.raises(boxmodel.InputFileError, match=r"bad\.fac:2:11: undeclared species `B`"):
        boxmodel.mechanism(tmp_path / "bad.fac")
