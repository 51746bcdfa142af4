#!/usr/bin/env bash
# Build everything and run every test: the C++ suite and the other tests
# registered with CTest, then the Python tests. Usage:
#   tools/run-tests.sh [build-dir]
# First installs the Debian packages of tools/packages.txt [build], [plot],
# [python-tests] and [features] that are missing (as root), or says which
# to install (otherwise), so that every optional feature is built and tested.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/lib/ensure-packages.sh"
ensure_packages build plot python-tests features || exit 1

build=${1:-"$here/build"}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$build"
build=$(cd "$build" && pwd)
status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?

# Python tests, with the interpreter that has pytest (Debian's); pytest's
# status 5 means it found no tests, which is not a failure.
if [ -d "$here/tests/python" ]; then
  if python=$(python_with pytest); then
    pytest_status=0
    # The module boxmodel from this build (its tests skip where it was not built).
    PYTHONPATH="$build/python${PYTHONPATH:+:$PYTHONPATH}" \
      "$python" -m pytest -q -o cache_dir="$build/pytest-cache" "$here/tests/python" || pytest_status=$?
    [ "$pytest_status" = 0 ] || [ "$pytest_status" = 5 ] || status=$pytest_status
  else
    echo "Python tests not run: no interpreter has pytest (Debian: apt-get install python3-pytest)." >&2
    status=1
  fi
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
