"""The box model of atmospheric gas-phase chemistry, from Python.

    import boxmodel
    s = boxmodel.Scenario(initial={"O3": 40}, time={"hours": 48})
    ds = boxmodel.run(s)            # xarray.Dataset, time as datetime64
    ds["O3"].plot()
    species, reactions = boxmodel.mechanism()
    k = boxmodel.rate_coefficients(298.0, 2.5e19)

The runs are the C++ model's own: the same scenario reader, run loop and
chemistry as ``boxmodel run``, and the same numbers bit for bit. A run from
Python writes no files and prints nothing unless write_outputs=True, which
writes the outputs the scenario asks for (species table, CSV, NetCDF,
progress lines on the process's standard output) as ``boxmodel run`` does.
"""

import os as _os
import warnings as _warnings
from typing import NamedTuple as _NamedTuple

import numpy as _np

from . import _core
from ._errors import (BoxModelError, InputFileError, IntegrationError, IntegrationWarning,
                      OutputFileError, ScenarioError)
from ._scenario import Scenario, Section, _finite, as_scenario

__version__ = _core.version
__all__ = ["Scenario", "Section", "run", "ensemble", "isopleths", "mechanism", "Mechanism", "rate_coefficients",
           "netcdf_available", "BoxModelError", "ScenarioError", "InputFileError",
           "OutputFileError", "IntegrationError", "IntegrationWarning"]


def netcdf_available():
    """Whether the model was built with the netCDF library (the "netcdf"
    output format of write_outputs=True)."""
    return _core.netcdf_available()


def _run_raw(scenario, write_outputs):
    raw = _core.run(scenario._core, bool(write_outputs))
    if raw["failed_steps"]:
        steps = ", ".join(str(step) for step, _ in raw["failed_steps"][:10])
        more = "" if len(raw["failed_steps"]) <= 10 else f" and {len(raw['failed_steps']) - 10} more"
        report = raw["messages"].strip()
        _warnings.warn(IntegrationWarning(
            f"the integrator gave up in step {steps}{more}; the run carried on with the state it "
            f"reached" + (f":\n{report}" if report else "")), stacklevel=3)
    if raw["spin_up_message"]:
        # The program ends with status 5 here; the dataset is complete.
        _warnings.warn(RuntimeWarning(raw["spin_up_message"]), stacklevel=3)
    return raw


def _dataset(raw):
    """The samples as the NetCDF output holds them, decoded as xarray opens
    that file (time as datetime64)."""
    import xarray as xr
    from xarray.coding.times import CFDatetimeCoder

    # Only the time coordinate needs decoding: the decoder xarray applies to
    # the NetCDF file, on this one variable (decode_cf on the whole dataset
    # would cost more than the run).
    time = CFDatetimeCoder().decode(xr.Variable("time", raw["elapsed_s"], raw["time_attributes"]), name="time")
    data_vars = {}
    x = raw["mole_fraction"]
    for k, (name, attrs) in enumerate(zip(raw["species"], raw["species_attributes"])):
        data_vars[name] = ("time", _np.ascontiguousarray(x[:, k]), attrs)
    for name, values, attrs in raw["air"]:
        data_vars[name] = ("time", values, attrs)
    # With output.diagnostics: oh_reactivity, ro2, p_o3, l_o3, as species.nc.
    for name, values, attrs in raw.get("diagnostics", []):
        data_vars[name] = ("time", values, attrs)
    # A site by keys: latitude, longitude and number_density_of_air.
    place = raw.get("place")
    if place is not None:
        data_vars["latitude"] = ((), place["latitude"], {"standard_name": "latitude", "units": "degrees_north"})
        data_vars["longitude"] = ((), place["longitude"], {"standard_name": "longitude", "units": "degrees_east"})
        data_vars["number_density_of_air"] = (
            "time", place["number_density_of_air"],
            {"long_name": "number density of air", "units": "cm-3",
             "comment": "p / (k_B T), k_B = 1.380649e-23 J K-1"})
    # With output.photolysis: every frequency used, J1, J4, ... in s-1.
    for name, values, attrs in raw.get("photolysis", []):
        data_vars[name] = ("time", values, attrs)
    coords = {
        "time": time.load(),
        "time_h": ("time", raw["time_h"],
                   {"long_name": "local time, hours since midnight of the first day", "units": "h"}),
    }
    if "day" in raw:
        # [spin_up] output = "all": the spin-up's days, then the run as the
        # last; time and time_h begin again with each day.
        coords["day"] = ("time", raw["day"],
                         {"long_name": "day of the spin-up; the scenario's run follows the last",
                          "units": "1"})
    budgets = raw.get("budgets")
    if budgets is not None:
        # The integrated process rates of every output interval, as budgets.nc
        # holds them: reactions R1..R249, then the open box's processes.
        data_vars["reaction_rate_integral"] = (
            ("time_interval", "reaction"), budgets["integrals"],
            {"long_name": "integral of the process rate over the output interval",
             "units": "1e-9",
             "comment": "molecules cm-3 divided by the air number density of each chemistry "
                        "step, times 1e9 (ppb)"})
        coords["reaction"] = ("reaction", _np.array(budgets["names"], dtype=object))
        coords["equation"] = ("reaction", _np.array(budgets["equations"], dtype=object))
        coords["start_h"] = ("time_interval", budgets["start_h"],
                             {"long_name": "local time at the start of the interval", "units": "h"})
        coords["end_h"] = ("time_interval", budgets["end_h"],
                           {"long_name": "local time at the end of the interval", "units": "h"})
    return xr.Dataset(data_vars, coords=coords, attrs=raw["global_attributes"])


def run(scenario=None, *, write_outputs=False):
    """Runs a scenario and returns its samples as an xarray.Dataset.

    `scenario`: a Scenario, the path of a scenario file, a mapping of
    sections, or None for the default day. The dataset has the dimension
    `time` (datetime64, the local time; the coordinate `time_h` holds it in
    hours since midnight of the first day, as the CSV's first column), one
    variable per output species (output.species) in mol mol-1, and
    temperature, pressure and cos_solar_zenith_angle (with
    output.diagnostics also oh_reactivity, ro2, p_o3 and l_o3, with
    output.photolysis every frequency used, J1, J4, ..., and at a site given
    by [site] keys latitude, longitude and number_density_of_air); names, units and
    attributes are those of the NetCDF output, and ``ds.attrs`` records
    every scenario key as "scenario.<key>". With [spin_up],
    ``ds.attrs["spin_up_days"]`` is the days taken; with its output = "all"
    every day's samples are there, the coordinate `day` (along `time`)
    numbering them: the spin-up's days, then the run's as the last.

    The interpreter's lock is released while the model runs; Ctrl-C stops
    the run (KeyboardInterrupt) within a tenth of a second after a step
    ends. Raises ScenarioError, InputFileError, IntegrationError (invalid
    operation, division by zero or overflow) or, with write_outputs=True,
    OutputFileError. A step the integrator gives up on is an
    IntegrationWarning; the run carries on as the program's does.
    """
    return _dataset(_run_raw(as_scenario(scenario), write_outputs))


def _cell(value):
    """A members-table cell as the scenario reader takes it (numpy scalars
    as Python numbers)."""
    return value.item() if isinstance(value, _np.generic) else value


def ensemble(base=None, members=None, threads=None, *, monte_carlo=None):
    """Runs an ensemble of `base` and returns it as an xarray.Dataset with
    dimensions (member, time).

    `base`: a Scenario (or what ``run`` accepts). `members`: a
    pandas.DataFrame whose columns are dotted scenario keys
    ("initial.O3", "time.start_hour", "chemistry.rate_factors.R27", ...),
    one row per member; None for Monte-Carlo members only. `monte_carlo`:
    ``{"members": 1000, "seed": 42, "uncertainty": {"default": 1.25,
    "R23": 1.1}}``: random rate factors, ln k ~ Normal(ln k0, ln f), the
    same for a seed on any machine or thread count; with a table they
    multiply its factors. `threads`: worker threads (None: every core).

    Every member's values are the bits of ``run`` of its scenario. The
    dataset holds one variable per output species (member, time) in mol
    mol-1 with the NetCDF output's attributes, ``time_h(member, time)``
    (local hours), the coordinate ``time`` as ensemble.nc holds it (the
    base scenario's sample times: datetime64 where the members share a
    start day and hour, seconds since the start otherwise),
    ``status(member)`` (0 success, 1 input, 3
    floating-point exception, 4 integration failure, 5 spin-up not
    converged; a failed member's values are NaN where it has none; with
    [spin_up] also ``spin_up_days(member)``) and ``message(member)``, and each
    varied key as a variable over `member`. Members of different lengths
    are padded with NaN.
    """
    import xarray as xr

    scenario = as_scenario(base)
    keys, rows, labels = [], [], []
    if members is not None:
        keys = [str(k) for k in members.columns]
        rows = [[_cell(v) for v in row] for row in members.itertuples(index=False, name=None)]
        labels = [f"row {k} (index {label!r})" for k, label in enumerate(members.index)]
    count, seed, default, uncertainty = 0, 0, 0.0, []
    if monte_carlo:
        unknown = set(monte_carlo) - {"members", "seed", "uncertainty"}
        if unknown:
            raise ScenarioError(f"boxmodel.ensemble: monte_carlo: unknown key {sorted(unknown)[0]!r} "
                                "(expected members, seed, uncertainty)")
        count = int(monte_carlo.get("members", 0))
        seed = int(monte_carlo.get("seed", 0))
        given = dict(monte_carlo.get("uncertainty", {}))
        # Every reaction of the base scenario's mechanism is drawn: the
        # names are checked against it when it is loaded.
        default = float(given.pop("default", 0.0))
        if not (default == 0.0 or default >= 1.0) or not _np.isfinite(default):
            raise ScenarioError(f"boxmodel.ensemble: monte_carlo.uncertainty.default: expected a "
                                f"factor of 1 or more, found {default}")
        for name, f in given.items():
            if not (isinstance(name, str) and name[:1] == "R" and name[1:].isdigit() and int(name[1:]) >= 1):
                raise ScenarioError(f"boxmodel.ensemble: monte_carlo.uncertainty.{name}: no reaction of "
                                    f"that name (expected R<n>)")
            if not float(f) >= 1.0 or not _np.isfinite(float(f)):
                raise ScenarioError(f"boxmodel.ensemble: monte_carlo.uncertainty: {name}: expected a "
                                    f"factor of 1 or more, found {f}")
            uncertainty.append((int(name[1:]), float(f)))
        if members is not None and count not in (0, len(rows)):
            raise ScenarioError(f"boxmodel.ensemble: monte_carlo.members is {count}, but the table "
                                f"has {len(rows)} rows")
    raw = _core.ensemble(scenario._core, keys, rows, labels, count, seed, default, uncertainty,
                         0 if threads is None else int(threads))
    data_vars = {}
    for k, (name, attrs) in enumerate(zip(raw["species"], raw["species_attributes"])):
        data_vars[name] = (("member", "time"), raw["values"][:, :, k], attrs)
    data_vars["time_h"] = (("member", "time"), raw["time_h"],
                           {"long_name": "local time, hours since midnight of the member's first day",
                            "units": "h"})
    spin_up = "spin_up_days" in raw
    data_vars["status"] = ("member", raw["status"],
                           {"long_name": "how the member ended",
                            "flag_values": _np.array([0, 1, 3, 4] + ([5] if spin_up else []), dtype=_np.int32),
                            "flag_meanings": "success input floating_point integration"
                                             + (" spin_up" if spin_up else "")})
    if spin_up:
        data_vars["spin_up_days"] = ("member", raw["spin_up_days"],
                                     {"long_name": "days of the member's spin-up (-1: it failed before its run)",
                                      "units": "1"})
    data_vars["message"] = ("member", _np.array([_text(m) for m in raw["message"]], dtype=object))
    for k, key in enumerate(keys):
        column = [row[k] for row in rows]
        if any(isinstance(v, (str, bytes)) for v in column):
            data_vars[key] = ("member", _np.array([_text(v) for v in column], dtype=object))
        else:
            data_vars[key] = ("member", _np.array(column))
    time_attrs = {"long_name": "time since the start of the base scenario's run", "units": raw["time_units"],
                  "axis": "T"}
    if raw["time_units"] != "s":
        from xarray.coding.times import CFDatetimeCoder
        time_attrs.update(standard_name="time", calendar="standard")
        time = CFDatetimeCoder().decode(xr.Variable("time", raw["time_s"], time_attrs), name="time").load()
    else:
        time = xr.Variable("time", raw["time_s"], time_attrs)
    coords = {"member": _np.arange(len(raw["status"])), "time": time}
    if members is not None:
        coords["member_label"] = ("member", _np.array(list(members.index), dtype=object))
    return xr.Dataset(data_vars, coords=coords, attrs={"source": f"boxmodel {_core.version}"})


def _toml_value(value, where):
    """A value of an isopleth axis or the ozone metric as TOML text."""
    value = value.item() if isinstance(value, _np.generic) else value
    if isinstance(value, bool):
        raise ScenarioError(f"boxmodel.isopleths: {where}: expected a number or text, found {value}")
    if isinstance(value, str):
        return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return repr(value) if _np.isfinite(value) else ("nan" if value != value else ("inf" if value > 0 else "-inf"))
    if isinstance(value, (list, tuple)):
        return "[" + ", ".join(_toml_value(v, where) for v in value) + "]"
    raise ScenarioError(f"boxmodel.isopleths: {where}: expected a number, text or a list of names, "
                        f"found {type(value).__name__}")


def isopleths(base=None, nox=None, voc=None, ozone="max", threads=None):
    """The ozone isopleth diagram of `base` as an xarray.Dataset over
    (nox_factor, voc_factor), as ``boxmodel isopleths`` computes it.

    `base`: a Scenario (or what ``run`` accepts). `nox`, `voc`: mappings
    with the keys of the isopleth file's axes, each optional: ``species``
    (names), ``of`` ("emissions" or "initial"), ``from``, ``to`` and
    ``points`` (21 factors from 0.1 to 10 by default). `ozone`: "max",
    "mean8h" or a local hour. `threads`: worker threads (None: every core).

    Each grid point is the base scenario with its scaled species'
    emissions (or initial values) times the point's factors, the same bits
    as ``run`` of that scenario. The dataset holds ``o3_ppb``
    (nox_factor, voc_factor), ``status`` and ``message`` of each point (as
    ``ensemble`` has them; o3_ppb is NaN where a point failed),
    ``ridge_nox_factor(voc_factor)`` (the NOx factor of the most ozone for
    each VOC factor) and the species, what was scaled and the metric as
    attributes. Raises ScenarioError for a wrong key or value.
    """
    import xarray as xr

    scenario = as_scenario(base)
    lines = []
    for name, axis in (("nox", nox), ("voc", voc)):
        if axis is None:
            continue
        if not hasattr(axis, "items"):
            raise ScenarioError(f"boxmodel.isopleths: {name}: expected a mapping of species, of, from, to, points")
        items = ", ".join(f"{key} = {_toml_value(v, f'{name}.{key}')}" for key, v in axis.items()
                          if isinstance(key, str) and key.replace("_", "").isalnum())
        bad = [key for key in axis if not (isinstance(key, str) and key.replace("_", "").isalnum())]
        if bad:
            raise ScenarioError(f"boxmodel.isopleths: {name}.{bad[0]}: unknown key "
                                "(expected one of species, of, from, to, points)")
        lines.append(f"{name} = {{ {items} }}")
    lines.append(f"ozone = {_toml_value(ozone, 'ozone')}")
    raw = _core.isopleths(scenario._core, "\n".join(lines) + "\n", 0 if threads is None else int(threads))
    dims = ("nox_factor", "voc_factor")
    coords = {
        "nox_factor": ("nox_factor", raw["nox_factor"],
                       {"long_name": f"factor on the base scenario's {raw['nox_of']} of "
                                     + " ".join(raw["nox_species"]), "units": "1"}),
        "voc_factor": ("voc_factor", raw["voc_factor"],
                       {"long_name": f"factor on the base scenario's {raw['voc_of']} of "
                                     + " ".join(raw["voc_species"]), "units": "1"}),
    }
    shape = raw["o3_ppb"].shape
    data_vars = {
        "o3_ppb": (dims, raw["o3_ppb"],
                   {"long_name": f"ozone of the run, {raw['ozone']} of its output samples", "units": "1e-9"}),
        "status": (dims, raw["status"], {"long_name": "how the grid point's run ended",
                                         "flag_values": _np.array([0, 1, 3, 4, 5], dtype=_np.int32),
                                         "flag_meanings": "success input floating_point integration spin_up"}),
        "message": (dims, _np.array([_text(m) for m in raw["message"]], dtype=object).reshape(shape)),
        "ridge_nox_factor": ("voc_factor", raw["ridge_nox_factor"],
                             {"long_name": "NOx factor of the most ozone at each VOC factor", "units": "1"}),
    }
    attrs = {"source": f"boxmodel {_core.version}", "ozone_metric": raw["ozone"],
             "nox_species": " ".join(raw["nox_species"]), "voc_species": " ".join(raw["voc_species"]),
             "nox_scaled": raw["nox_of"], "voc_scaled": raw["voc_of"]}
    return xr.Dataset(data_vars, coords=coords, attrs=attrs)


def _text(value):
    """Text as str, never bytes."""
    return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)


class Mechanism(_NamedTuple):
    species: "pandas.DataFrame"
    reactions: "pandas.DataFrame"


def mechanism(path=None):
    """The mechanism as two pandas DataFrames: the built-in one, or with
    `path` that of a mechanism file (read and checked as a run reads it;
    a fault is an InputError naming the file, line and column).

    species: columns `name`, `index` (the 1-based mechanism index) and
    `kind` ("integrated" or "fixed": H2O and M), indexed by the names
    (``species.loc["O3", "index"]``). reactions: columns `number` (1..249),
    `equation`, `rate_law` (the kind of rate law), `order` (reactant
    factors) and `unit` (of the rate coefficient), indexed by the numbers
    (``reactions.loc[27, "equation"]``).

    For a file the species are numbered in file order, all "integrated";
    the reactions are numbered in file order (the R<n> of rate factors),
    `equation` reads ``A + B = 0.5 C``, `rate_law` is the rate expression as
    written and the extra column `line` gives the line it starts on.
    """
    import pandas as pd

    tables = _core.mechanism() if path is None else _core.mechanism_file(_os.fspath(path))
    species = pd.DataFrame(tables["species"])
    species.index = pd.Index(species["name"], name="species")
    reactions = pd.DataFrame(tables["reactions"])
    reactions.index = pd.Index(reactions["number"], name="reaction")
    return Mechanism(species, reactions)


def rate_coefficients(temp, cm, photolysis=False):
    """The rate coefficients of the 249 reactions (element k is reaction
    k + 1) at temperature `temp` (K) and air number density `cm`
    (molecules cm-3), as ``boxmodel-rates`` lists them: photolysis
    frequencies are 0 unless `photolysis` asks for those of an overhead
    sun. Units per reaction: mechanism().reactions["unit"]."""
    return _core.rate_coefficients(_finite("temp", temp), _finite("cm", cm), bool(photolysis))
