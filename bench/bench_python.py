#!/usr/bin/env python3
"""The cost of running the example day from Python against the program.

    PYTHONPATH=build/python /usr/bin/python3 bench/bench_python.py [build-dir] [--repeat N]

Times, each the best and the median of N repetitions:
  program      build/bin/boxmodel run day.toml (a process of its own, no
               outputs written, no progress lines)
  core         boxmodel._core.run: the same run in this process, samples
               returned as numpy arrays
  boxmodel.run the same with the xarray Dataset built
and, for ensembles of 96 example-day members (Monte-Carlo rate factors),
  program ensemble    build/bin/boxmodel ensemble e.toml --threads 1
  boxmodel.ensemble   the same members from Python, threads=1
The interface adds no work per step, so boxmodel.run should cost within
10 % of the program's own run, and boxmodel.ensemble (the same member
groups in the vector lanes) within 1.3 times the program's ensemble; the
last lines say whether they do (exit status 1 if not).
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
MEMBERS = 96


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
        program = [str(build / "bin" / "boxmodel"), "run", str(path)]
        scenario = boxmodel.Scenario.from_toml(path)
        boxmodel.run(scenario)  # imports xarray and warms the caches

        results = {
            "program": timed(lambda: subprocess.run(program, check=True, stderr=subprocess.DEVNULL), args.repeat),
            "core": timed(lambda: _core.run(scenario._core, False), args.repeat),
            "boxmodel.run": timed(lambda: boxmodel.run(scenario), args.repeat),
        }
        ensemble = scratch / "e.toml"
        ensemble.write_text('base = "day.toml"\n[monte_carlo]\n'
                            f"members = {MEMBERS}\nseed = 42\nuncertainty = {{ default = 1.1 }}\n"
                            '[output]\ndir = "out"\nformats = ["netcdf"]\n'
                            'species = ["O3", "NO", "NO2", "HO", "HO2"]\n')
        program_ensemble = [str(build / "bin" / "boxmodel"), "ensemble", str(ensemble), "--threads", "1"]
        monte_carlo = {"members": MEMBERS, "seed": 42, "uncertainty": {"default": 1.1}}
        boxmodel.ensemble(scenario, threads=1, monte_carlo={"members": 4, "seed": 1, "uncertainty": {"default": 1.1}})
        ensemble_repeat = max(1, args.repeat // 3)
        results["program ensemble"] = timed(
            lambda: subprocess.run(program_ensemble, check=True, stderr=subprocess.DEVNULL), ensemble_repeat)
        results["boxmodel.ensemble"] = timed(
            lambda: boxmodel.ensemble(scenario, threads=1, monte_carlo=monte_carlo), ensemble_repeat)
    for name, (best, median) in results.items():
        print(f"{name:18s} best {best * 1e3:8.2f} ms   median {median * 1e3:8.2f} ms")
    ratio = results["boxmodel.run"][0] / results["program"][0]
    print(f"boxmodel.run / program (best): {ratio:.3f}: "
          + ("within 10 %" if ratio <= 1.10 else "MORE than 10 % slower"))
    ensemble_ratio = results["boxmodel.ensemble"][0] / results["program ensemble"][0]
    print(f"boxmodel.ensemble / program ensemble, {MEMBERS} members, 1 thread (best): {ensemble_ratio:.3f}: "
          + ("within 1.3 times" if ensemble_ratio <= 1.3 else "MORE than 1.3 times"))
    return 0 if ratio <= 1.10 and ensemble_ratio <= 1.3 else 1


if __name__ == "__main__":
    sys.exit(main())
