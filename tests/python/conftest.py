"""Shared set-up of the Python interface's tests: the module from the build
tree (tools/run-tests.sh puts <build>/python on PYTHONPATH), the build's
programs to compare with, and a scratch copy of the example day."""
import os
import shutil
import subprocess
from pathlib import Path

import pytest

try:
    import boxmodel
except ImportError:  # not built (no pybind11) or not on PYTHONPATH
    boxmodel = None
    collect_ignore_glob = ["test_*.py"]


def pytest_report_header(config):
    if boxmodel is None:
        return "boxmodel: module not found (not built, or not on PYTHONPATH): its tests are not run"
    return f"boxmodel: {boxmodel.__file__}"

SOURCE = Path(__file__).resolve().parents[2]
EXAMPLE = SOURCE / "examples" / "day"
SITE_FILE = "ValuesAtSite_extractedFromWRFchemAug31.txt_test"


def _build_dir():
    if os.environ.get("BOXMODEL_BUILD"):
        return Path(os.environ["BOXMODEL_BUILD"])
    if boxmodel is None:
        return SOURCE / "build"
    # <build>/python/boxmodel/__init__.py
    return Path(boxmodel.__file__).resolve().parents[2]


BUILD = _build_dir()


def program(relative):
    path = BUILD / relative
    if not path.exists():
        pytest.skip(f"{path} is not built")
    return path


@pytest.fixture
def day_dir(tmp_path):
    """A folder with the example day's inputs."""
    for name in ("inputn", SITE_FILE):
        shutil.copy(EXAMPLE / name, tmp_path / name)
    return tmp_path


def write_scenario(folder, text, name="run.toml"):
    """A scenario file reading the day's inputs from `folder`, whose keys
    after the [site] section are `text`."""
    path = folder / name
    path.write_text(f'[site]\nparameters = "inputn"\nrecords = "{SITE_FILE}"\n' + text)
    return path


def run_cli(*args, cwd):
    return subprocess.run([str(program("bin/boxmodel")), *map(str, args)], cwd=cwd,
                          capture_output=True, text=True)
