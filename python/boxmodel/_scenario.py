"""Scenarios: the value that describes one run.

A Scenario is the C++ model's own scenario value: every key is checked by the
model's scenario reader, with its defaults and its messages. Python keeps
what the scenario was built from (a file's text, or nothing for the default
day) and the keys set since, in order, and rebuilds the value from them when
a key changes.

    s = Scenario(initial={"O3": 40}, time={"hours": 48})
    s.time.hours                 # 48.0
    s.chemistry.method = "rodas4"
    s["chemistry.rtol"] = 1e-4
    s.initial = {"NO2": 2}       # the whole section: O3 is no longer set
    t = Scenario.from_toml("run.toml").replace(time={"start_hour": 6})
"""

import functools
import math
import os
import tomllib
from collections.abc import Mapping

from . import _core
from ._errors import ScenarioError

_ORIGIN = "boxmodel.Scenario"
# Every section and sub-table the model's schema knows ("site", ...,
# "chemistry.rate_factors", "dilution.background"): each reads as an
# attribute even before any of its keys is set.
_ALL_SECTIONS = tuple(_core.scenario_sections())
_SECTIONS = tuple(s for s in _ALL_SECTIONS if "." not in s)


def _describe_value(value):
    """A short description of a value that is not a scenario value."""
    if value is None:
        return "None"
    shape = getattr(value, "shape", None)
    if shape is not None and not isinstance(value, (str, bytes)):
        return f"an array of shape {tuple(shape)}"
    if isinstance(value, (list, tuple)):
        kinds = sorted({type(v).__name__ for v in value if not isinstance(v, str)})
        return "a list holding " + ", ".join(kinds) if kinds else "a list"
    name = type(value).__name__
    return ("an " if name[:1].lower() in "aeiou" else "a ") + name


def _plain(value):
    """numpy scalars, arrays of strings and paths as the Python values they
    stand for."""
    if isinstance(value, os.PathLike):
        return os.fspath(value)
    if type(value).__module__ == "numpy":
        if getattr(value, "ndim", None) == 0 and hasattr(value, "item"):
            return value.item()
        if getattr(value, "dtype", None) is not None and value.dtype.kind == "U" and value.ndim == 1:
            return value.tolist()
    if isinstance(value, tuple):
        return list(value)
    return value


def _check_text(text, where, origin):
    """Text the model's files could hold: UTF-8, no NUL characters."""
    try:
        text.encode("utf-8")
    except UnicodeEncodeError:
        raise ScenarioError(f"{origin}: {where}: expected text, found {text!r} (not UTF-8)") from None
    if "\0" in text:
        raise ScenarioError(f"{origin}: {where}: expected text, found {text!r} (a NUL character)")


def _flatten(mapping, prefix, origin, out):
    """Nested mappings as (dotted key, value, origin), in order."""
    if not isinstance(mapping, Mapping):
        raise ScenarioError(f"{origin}: expected a mapping of scenario sections, found {_describe_value(mapping)}")
    # Depth first, keys in order, without recursion (any depth is an error
    # the model reports, never a RecursionError).
    pending = [(prefix, iter(mapping.items()))]
    while pending:
        path, items = pending[-1]
        item = next(items, None)
        if item is None:
            pending.pop()
            continue
        key, value = item
        if not isinstance(key, str) or not key:
            raise ScenarioError(f"{origin}: {path or 'scenario'}: expected keys that are non-empty strings, "
                                f"found {key!r}")
        full = f"{path}.{key}" if path else key
        _check_text(key, full, origin)
        if isinstance(value, Mapping):
            pending.append((full, iter(value.items())))
            continue
        value = _plain(value)
        if isinstance(value, str):
            _check_text(value, full, origin)
        elif isinstance(value, list):
            for v in value:
                if isinstance(v, str):
                    _check_text(v, full, origin)
        out.append((full, value, origin))
    return out


class Section(Mapping):
    """One table of a scenario (scenario.time, scenario.chemistry.rate_factors):
    keys read as attributes or items; setting one sets the scenario's key,
    checked by the model."""

    __slots__ = ("_scenario", "_path")

    def __init__(self, scenario, path):
        object.__setattr__(self, "_scenario", scenario)
        object.__setattr__(self, "_path", path)

    def _table(self):
        table = self._scenario._values()
        for part in self._path.split("."):
            table = table.get(part, {})
        return table

    def __getitem__(self, key):
        path = f"{self._path}.{key}"
        if path in _ALL_SECTIONS:
            return Section(self._scenario, path)
        value = self._table()[key]
        return Section(self._scenario, path) if isinstance(value, dict) else value

    def __getattr__(self, key):
        try:
            return self[key]
        except KeyError:
            raise AttributeError(f"{self._path} has no key {key!r}") from None

    def __setitem__(self, key, value):
        self._scenario._assign(f"{self._path}.{key}", value)

    __setattr__ = __setitem__

    def __iter__(self):
        return iter(self._table())

    def __len__(self):
        return len(self._table())

    def to_dict(self):
        return _copy(self._table())

    def __repr__(self):
        return f"{self._path}: {self._table()!r}"


def _copy(table):
    return {k: _copy(v) if isinstance(v, dict) else (list(v) if isinstance(v, list) else v) for k, v in table.items()}


class Scenario:
    """A run of the model: site, clock, initial state, chemistry and outputs.

    Every key is optional and defaults to the model's own day. Sections are
    given as mappings (``time={"hours": 48}``), or with dotted keys in the
    first argument (``Scenario({"time.hours": 48})``). A key the model does
    not know, a value of the wrong type or out of range raises ScenarioError
    naming the key. A mapping assigned to a section (``s.initial = {...}``)
    is the whole section: keys set before in it, by the file or since, are
    dropped; ``replace`` and the constructor set only the keys given.
    """

    def __init__(self, sections=None, /, **kwargs):
        self._text = None  # (toml text, source, base dir) of a file scenario
        self._replaced = []  # sections of the text replaced by assignment
        self._overrides = []
        self._core = None
        self._cache = None
        given = {}
        if sections is not None:
            if not isinstance(sections, Mapping):
                raise ScenarioError(f"{_ORIGIN}: expected a mapping of scenario sections, "
                                    f"found {_describe_value(sections)}")
            given.update(sections)
        given.update(kwargs)
        self._set(_flatten(given, "", _ORIGIN, []))

    # ------------------------------------------------------------ building
    @classmethod
    def from_toml(cls, path):
        """Reads a scenario file. Relative paths in it are relative to the
        file's folder, as for ``boxmodel run``."""
        if not isinstance(path, (str, os.PathLike)):
            raise TypeError(f"from_toml expects a path, got {_describe_value(path)}")
        path = os.fspath(path)
        self = cls.__new__(cls)
        self._overrides = []
        self._replaced = []
        self._cache = None
        self._core = _core.read_scenario_file(path, [])
        with open(path, encoding="utf-8") as f:
            self._text = (f.read(), path, os.path.dirname(path))
        return self

    @classmethod
    def from_toml_text(cls, text, source="<string>", base_dir=""):
        """A scenario from TOML text; `source` names it in messages and
        relative paths start from `base_dir` (the working directory if empty)."""
        self = cls.__new__(cls)
        self._overrides = []
        self._replaced = []
        self._cache = None
        self._text = (str(text), str(source), os.fspath(base_dir))
        self._core = self._build([])
        return self

    def _build(self, overrides, replaced=None):
        if self._text is None:
            return _core.scenario_from_overrides(overrides)
        text, source, base = self._text
        return _core.parse_scenario(text, source, base, overrides, self._replaced if replaced is None else replaced)

    def _assign(self, key, value):
        """Sets a dotted key; a mapping is the whole section at `key`."""
        items = _flatten({key: value}, "", _ORIGIN, [])
        if not isinstance(value, Mapping):
            self._set(items)
            return
        inside = key + "."
        self._set(items, kept=[o for o in self._overrides if o[0] != key and not o[0].startswith(inside)],
                  replaced=self._replaced + [key] if self._text is not None else self._replaced)

    def _set(self, items, kept=None, replaced=None):
        """Applies (key, value, origin) items after the earlier ones (or after
        `kept` of them, with the file's sections `replaced` taken out):
        checked by the model first with every value it can take, then the
        others for their messages."""
        replaced = self._replaced if replaced is None else replaced
        usable = [i for i in items if _core.is_key_value(i[1])]
        unusable = [i for i in items if not _core.is_key_value(i[1])]
        overrides = (self._overrides if kept is None else kept) + usable
        core = self._build(overrides, replaced)
        for key, value, origin in unusable:
            # The model's message for a value of the wrong type, told with a
            # boolean in its place; a key that takes booleans expects one.
            try:
                self._build(overrides + [(key, False, origin)], replaced)
            except ScenarioError as e:
                message = str(e)
                if message.endswith("found a boolean"):
                    message = message[: -len("a boolean")] + _describe_value(value)
                raise ScenarioError(message) from None
            raise ScenarioError(f"{origin}: {key}: expected true or false, found {_describe_value(value)}")
        self._overrides = overrides
        self._replaced = replaced
        self._core = core
        self._cache = None

    def replace(self, sections=None, /, **kwargs):
        """A copy with the given keys set (same forms as the constructor)."""
        other = self.copy()
        given = dict(sections or {})
        given.update(kwargs)
        other._set(_flatten(given, "", _ORIGIN, []))
        return other

    def copy(self):
        other = Scenario.__new__(Scenario)
        other._text = self._text
        other._replaced = list(self._replaced)
        other._overrides = list(self._overrides)
        other._core = self._core
        other._cache = None
        return other

    # Pickled as what it was built from (for process pools and copies).
    def __getstate__(self):
        return {"text": self._text, "overrides": list(self._overrides), "replaced": list(self._replaced)}

    def __setstate__(self, state):
        self._text = state["text"]
        self._replaced = list(state.get("replaced", []))
        self._overrides = list(state["overrides"])
        self._cache = None
        self._core = self._build(self._overrides)

    def __copy__(self):
        return self.copy()

    def __deepcopy__(self, memo):
        return self.copy()

    # ------------------------------------------------------------- reading
    def _values(self):
        if self._cache is None:
            self._cache = tomllib.loads(self._core.to_toml())
        return self._cache

    def to_dict(self):
        """Every key with its value, as nested dicts."""
        return _copy(self._values())

    def to_toml(self, path=None):
        """The scenario as a TOML document that reads back to the same
        scenario (paths as resolved); written to `path` when given."""
        text = self._core.to_toml()
        if path is not None:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
        return text

    def describe(self):
        """Every key as dotted text ("time.step_seconds" -> "300"), as the
        output files record it."""
        return dict(self._core.describe())

    @property
    def source(self):
        """The scenario's file, or "default scenario"."""
        return self._core.source

    @property
    def output_species(self):
        """Names of the species a run returns, in order."""
        return list(self._core.output_species())

    @property
    def total_steps(self):
        return self._core.total_steps()

    def __getattr__(self, name):
        if name in _SECTIONS:
            return Section(self, name)
        raise AttributeError(f"Scenario has no attribute {name!r} (sections: {', '.join(_SECTIONS)})")

    def __setattr__(self, name, value):
        if name.startswith("_"):
            object.__setattr__(self, name, value)
        else:
            self._assign(name, value)

    def __getitem__(self, key):
        """A value by dotted key: scenario["time.hours"]."""
        table = self._values()
        for part in key.split("."):
            if not isinstance(table, dict) or part not in table:
                raise KeyError(key)
            table = table[part]
        return _copy(table) if isinstance(table, dict) else table

    def __setitem__(self, key, value):
        self._assign(key, value)

    def __eq__(self, other):
        return isinstance(other, Scenario) and self._core.describe() == other._core.describe()

    __hash__ = None

    def __repr__(self):
        # What the scenario sets: the keys whose values differ from the
        # model's own day, as the output files record them.
        default = _default_description()
        changed = ", ".join(f"{k}={v}" for k, v in self._core.describe() if default.get(k) != v)
        where = "" if self._text is None else f" {self.source}"
        return f"<Scenario{where}: {changed or _ALL_DEFAULT}>"


_ALL_DEFAULT = "every key at its default (the model's own day)"


@functools.lru_cache(maxsize=1)
def _default_description():
    return dict(_core.scenario_from_overrides([]).describe())


def as_scenario(value):
    """A Scenario from a Scenario, a scenario file's path or a mapping."""
    if isinstance(value, Scenario):
        return value
    if value is None:
        return Scenario()
    if isinstance(value, (str, os.PathLike)):
        return Scenario.from_toml(value)
    if isinstance(value, Mapping):
        return Scenario(value)
    raise TypeError(f"expected a Scenario, a scenario file or a mapping, got {_describe_value(value)}")


def _finite(name, value):
    try:
        v = float(value)
    except (TypeError, ValueError):
        raise ValueError(f"{name}: expected a positive number, got {value!r}") from None
    if not (math.isfinite(v) and v > 0):
        raise ValueError(f"{name}: expected a positive number, got {value!r}")
    return v
