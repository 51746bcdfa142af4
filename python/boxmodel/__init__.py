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

import warnings
from typing import NamedTuple

import numpy as np

from . import _core
from ._errors import (BoxModelError, InputFileError, IntegrationError, IntegrationWarning,
                      OutputFileError, ScenarioError)
from ._scenario import Scenario, Section, _finite, as_scenario

__version__ = _core.version
__all__ = ["Scenario", "Section", "run", "mechanism", "Mechanism", "rate_coefficients",
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
        warnings.warn(IntegrationWarning(
            f"the integrator gave up in step {steps}{more}; the run carried on with the state it "
            f"reached" + (f":\n{report}" if report else "")), stacklevel=3)
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
        data_vars[name] = ("time", np.ascontiguousarray(x[:, k]), attrs)
    for name, values, attrs in raw["air"]:
        data_vars[name] = ("time", values, attrs)
    coords = {
        "time": time.load(),
        "time_h": ("time", raw["time_h"],
                   {"long_name": "local time, hours since midnight of the first day", "units": "h"}),
    }
    budgets = raw.get("budgets")
    if budgets is not None:
        # The integrated process rates of every output interval, as budgets.nc
        # holds them: reactions R1..R249, then the open box's processes.
        data_vars["reaction_rate_integral"] = (
            ("interval", "reaction"), budgets["integrals"],
            {"long_name": "integral of the process rate over the output interval",
             "units": "1e-9",
             "comment": "molecules cm-3 divided by the air number density of each chemistry "
                        "step, times 1e9 (ppb)"})
        coords["reaction"] = ("reaction", np.array(budgets["names"], dtype=object))
        coords["equation"] = ("reaction", np.array(budgets["equations"], dtype=object))
        coords["start_h"] = ("interval", budgets["start_h"],
                             {"long_name": "local time at the start of the interval", "units": "h"})
        coords["end_h"] = ("interval", budgets["end_h"],
                           {"long_name": "local time at the end of the interval", "units": "h"})
    return xr.Dataset(data_vars, coords=coords, attrs=raw["global_attributes"])


def run(scenario=None, *, write_outputs=False):
    """Runs a scenario and returns its samples as an xarray.Dataset.

    `scenario`: a Scenario, the path of a scenario file, a mapping of
    sections, or None for the default day. The dataset has the dimension
    `time` (datetime64, the local time; the coordinate `time_h` holds it in
    hours since midnight of the first day, as the CSV's first column), one
    variable per output species (output.species) in mol mol-1, and
    temperature, pressure and cos_solar_zenith_angle; names, units and
    attributes are those of the NetCDF output, and ``ds.attrs`` records
    every scenario key as "scenario.<key>".

    The interpreter's lock is released while the model runs; Ctrl-C stops
    the run (KeyboardInterrupt) within a tenth of a second after a step
    ends. Raises ScenarioError, InputFileError, IntegrationError (invalid
    operation, division by zero or overflow) or, with write_outputs=True,
    OutputFileError. A step the integrator gives up on is an
    IntegrationWarning; the run carries on as the program's does.
    """
    return _dataset(_run_raw(as_scenario(scenario), write_outputs))


class Mechanism(NamedTuple):
    species: "pandas.DataFrame"
    reactions: "pandas.DataFrame"


def mechanism():
    """The mechanism as two pandas DataFrames.

    species: columns `name`, `index` (the 1-based mechanism index) and
    `kind` ("integrated" or "fixed": H2O and M), indexed by the names
    (``species.loc["O3", "index"]``). reactions: columns `number` (1..249),
    `equation`, `rate_law` (the kind of rate law), `order` (reactant
    factors) and `unit` (of the rate coefficient), indexed by the numbers
    (``reactions.loc[27, "equation"]``).
    """
    import pandas as pd

    tables = _core.mechanism()
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
