#!/usr/bin/env bash
# Build the model and run the bundled example day in a scratch copy of its
# inputs (the committed inputs are never written). Usage:
#   tools/run-example.sh [build-dir]
# The day's outputs land in <build-dir>/example-day/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
mkdir -p "$build"
build=$(cd "$build" && pwd)  # the run below changes directory
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBOXMODEL_TESTS=OFF -DBOXMODEL_BENCH=OFF
cmake --build "$build" --target boxmodel
run="$build/example-day"
rm -rf "$run"
mkdir -p "$run"
cp "$here"/examples/day/inputn "$here"/examples/day/ValuesAtSite_extractedFromWRFchemAug31.txt_test "$run"/
cd "$run"
"$build/driver/boxmodel" | tee stdout.txt
echo "Species table: $run/TS_species.txt"
