#!/usr/bin/env python3
"""The cost of running the example day from Python against the program.

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [build-dir] [--repeat N]

Times, each the best and the median of N repetitions:
  program      build/bin/boxmodel run day.toml (a process of its own, no
               outputs written, no progress lines)
  core         boxmodel._core.run: the same run in this process, samples
               returned as numpy arrays
  boxmodel.run the same with the xarray Dataset built
The interface adds no work per step, so boxmodel.run should cost within
10 % of the program's own run; the last line says whether it does (exit
status 1 if not).
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[1]
SITE_FILE = "ValuesAtSite_extractedFromWRFchemAug31.txt_test"


def timed(work, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return min(times), statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=str(SOURCE / "build"))
    parser.add_argument("--repeat", type=int, default=15)
    args = parser.parse_args()
    build = Path(args.build).resolve()
    sys.path.insert(0, str(build / "python"))
    import boxmodel
    from boxmodel import _core

    with tempfile.TemporaryDirectory() as scratch:
        scratch = Path(scratch)
        for name in ("inputn", SITE_FILE):
            shutil.copy(SOURCE / "examples" / "day" / name, scratch / name)
        path = scratch / "day.toml"
        path.write_text(f'[site]\nparameters = "inputn"\nrecords = "{SITE_FILE}"\n'
                        "[output]\nformats = []\nprogress_lines = false\n")
        program = [str(build / "driver" / "boxmodel"), "run", str(path)]
        scenario = boxmodel.Scenario.from_toml(path)
        boxmodel.run(scenario)  # imports xarray and warms the caches

        results = {
            "program": timed(lambda: subprocess.run(program, check=True), args.repeat),
            "core": timed(lambda: _core.run(scenario._core, False), args.repeat),
            "boxmodel.run": timed(lambda: boxmodel.run(scenario), args.repeat),
        }
    for name, (best, median) in results.items():
        print(f"{name:14s} best {best * 1e3:8.2f} ms   median {median * 1e3:8.2f} ms")
    ratio = results["boxmodel.run"][0] / results["program"][0]
    print(f"boxmodel.run / program (best): {ratio:.3f}: "
          + ("within 10 %" if ratio <= 1.10 else "MORE than 10 % slower"))
    return 0 if ratio <= 1.10 else 1


if __name__ == "__main__":
    sys.exit(main())
