#!/usr/bin/env bash
# Build the model and run the bundled example day in a scratch copy of its
# inputs (the committed inputs are never written), then draw the day.
# Usage:
#   tools/run-example.sh [build-dir]
# The day's outputs land in <build-dir>/example-day/: TS_species.txt,
# stdout.txt and day.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$here/build"}
mkdir -p "$build"
build=$(cd "$build" && pwd)  # the run below changes directory
# Configure only if needed, and never flip options of an existing build
# directory (it may be the one the tests are built in).
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build" --target boxmodel
run="$build/example-day"
rm -rf "$run"
mkdir -p "$run"
cp "$here"/examples/day/inputn "$here"/examples/day/ValuesAtSite_extractedFromWRFchemAug31.txt_test "$run"/
cd "$run"
"$build/driver/boxmodel" > stdout.txt
tail -n 3 stdout.txt
echo "Species table: $run/TS_species.txt"
echo "Standard output: $run/stdout.txt"

# The picture of the day needs matplotlib (Debian: python3-matplotlib).
python=/usr/bin/python3
[ -x "$python" ] || python=python3
if "$python" -c "import matplotlib" 2>/dev/null; then
  "$python" "$here/tools/plot_day.py" TS_species.txt -o day.png \
    --title "Example day: late summer, rural central Illinois (40.05 N, 88.37 W)"
else
  echo "No figure: matplotlib is missing (apt-get install python3-matplotlib)."
fi
