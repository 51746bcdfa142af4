#!/usr/bin/env bash
# Build and test the configuration a machine with only the required packages
# of tools/packages.txt gets: every optional feature (NetCDF, MPI, the
# machine-code kernels, the Python module, the comparison with a stiff
# solver) switched off, whatever this machine has installed. The features'
# stand-ins (the writer that says NetCDF is missing, the loop kernels
# without machine code, ...) are compiled and tested only here.
# Usage: tools/run-minimal.sh   (the tree is build-minimal/)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
source tools/lib/ensure-packages.sh
ensure_packages build plot python-tests || exit 1
start=$SECONDS
echo "=== required packages only: every optional feature off"
cmake --preset minimal
cmake --build --preset minimal
ctest --preset minimal
echo "=== required packages only: done in $((SECONDS - start)) s"
