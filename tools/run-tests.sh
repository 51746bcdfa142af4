#!/usr/bin/env bash
# Build everything and run every test registered with CTest: the C++ suite,
# the tools' tests and the Python module's tests. Usage:
#   tools/run-tests.sh [build-dir]
# First installs the Debian packages of tools/packages.txt [build], [plot],
# [python-tests] and [features] that are missing (as root), or says which
# to install (otherwise), so that every optional feature is built and tested.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/lib/ensure-packages.sh"
ensure_packages build plot python-tests features || exit 1

build=${1:-"$here/build"}
# The release preset (CMakePresets.json), in the folder given.
(cd "$here" && cmake --preset release -B "$build")
cmake --build "$build"
build=$(cd "$build" && pwd)
status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?

# The Python tests run under ctest (the test python_module, registered
# where the module is built), with the interpreter CMake chose for the
# module; say so plainly when no interpreter here has pytest.
if [ -d "$here/tests/python" ] && ! python_with pytest > /dev/null; then
  echo "Python tests cannot run: no interpreter has pytest (Debian: apt-get install python3-pytest)." >&2
  status=1
fi

echo
echo "Built in $build:"
echo "  programs      bin/boxmodel, bin/boxmodel-rates"
[ -d "$build/python/boxmodel" ] && echo "  Python module python/boxmodel (PYTHONPATH=$build/python)"
echo "  test programs tests/test_*"
[ -d "$build/bench" ] && echo "  benchmarks    bench/bench_*"
echo "  test log      Testing/Temporary/LastTest.log"
[ "$status" = 0 ] && echo "Every test passed." || echo "Some tests failed (status $status)."
exit "$status"
