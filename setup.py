"""Builds the extension boxmodel._core with the repository's CMake build and
packages it with python/boxmodel. Extra CMake arguments can be given in the
environment variable BOXMODEL_CMAKE_ARGS (e.g. the ccache launcher)."""

import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        python_dir = build / "python"
        configure = [
            "cmake", "-S", str(HERE), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release", "-DBOXMODEL_TESTS=OFF", "-DBOXMODEL_BENCH=OFF",
            "-DBOXMODEL_PYTHON_MODULE=ON", f"-DPython3_EXECUTABLE={sys.executable}",
            f"-DBOXMODEL_PYTHON_DIR={python_dir}",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        configure += shlex.split(os.environ.get("BOXMODEL_CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_core",
                        "-j", os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")], check=True)
        built = list((python_dir / "boxmodel").glob("_core*.so"))
        if not built:
            sys.exit("the CMake build made no boxmodel/_core module: are pybind11-dev and python3-dev installed?")
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)
        # The NetCDF writers' module, loaded from beside the extension when a
        # NetCDF file is first written.
        for module in (python_dir / "boxmodel").glob("libboxmodel_netcdf.so"):
            shutil.copyfile(module, target.parent / module.name)


setup(
    version=(HERE / "VERSION").read_text().strip(),
    packages=["boxmodel"],
    package_dir={"": "python"},
    ext_modules=[CMakeExtension("boxmodel._core")],
    cmdclass={"build_ext": CMakeBuild},
    # Apart from the CMake build of the README (build/), whose top level it
    # would otherwise share.
    options={"build": {"build_base": "build/pip"}},
)
