"""The Python example runs and draws its plot."""
import os
import subprocess
import sys

import pytest

from conftest import SOURCE, boxmodel

pytest.importorskip("matplotlib")


def test_ozone_day_example(tmp_path):
    env = dict(os.environ, MPLBACKEND="Agg",
               PYTHONPATH=os.pathsep.join([os.path.dirname(os.path.dirname(boxmodel.__file__)),
                                           os.environ.get("PYTHONPATH", "")]))
    done = subprocess.run([sys.executable, str(SOURCE / "examples" / "python" / "ozone_day.py"),
                           "-o", str(tmp_path / "o3.png")], capture_output=True, text=True, env=env)
    assert done.returncode == 0, done.stderr
    assert "start 10 ppb: O3 from 10.00 to 8.92 ppb" in done.stdout
    assert (tmp_path / "o3.png").stat().st_size > 10000
