#!/usr/bin/env bash
# Build the model and run the bundled example day in a scratch copy of its
# inputs (the committed inputs are never written), then draw the day.
# Usage:
#   tools/run-example.sh [build-dir]
# First installs the Debian packages of tools/packages.txt [build] and
# [plot] that are missing (as root), or says which to install (otherwise).
# The day's outputs land in <build-dir>/example-day/: TS_species.txt,
# stdout.txt and day.png.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/lib/ensure-packages.sh"
ensure_packages build plot || exit 1

build=${1:-"$here/build"}
mkdir -p "$build"
build=$(cd "$build" && pwd)  # the run below changes directory
# Configure only if needed, and never flip options of an existing build
# directory (it may be the one the tests are built in).
if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$here" && cmake --preset release -B "$build")
fi
cmake --build "$build" --target boxmodel boxmodel-rates
run="$build/example-day"
rm -rf "$run"
mkdir -p "$run"
cp "$here"/examples/day/inputn "$here"/examples/day/ValuesAtSite_extractedFromWRFchemAug31.txt_test "$run"/
cd "$run"
"$build/bin/boxmodel" > stdout.txt
tail -n 3 stdout.txt

# The picture of the day needs matplotlib (Debian: python3-matplotlib, for
# /usr/bin/python3; another python3 first on PATH may lack it).
figure=0
if python=$(python_with matplotlib); then
  "$python" "$here/tools/plot_day.py" TS_species.txt -o day.png \
    --title "Example day: late summer, rural central Illinois (40.05 N, 88.37 W)" >/dev/null
  figure=1
else
  echo "No figure: no interpreter has matplotlib (Debian: apt-get install python3-matplotlib)." >&2
fi

echo
echo "Outputs of the example day, in $run:"
echo "  TS_species.txt  the hourly species table"
echo "  stdout.txt      the progress lines"
[ "$figure" = 1 ] && echo "  day.png         the figure of the day"
echo "Programs: $build/bin/boxmodel, $build/bin/boxmodel-rates"
echo "  (cmake --install $build --prefix DIR puts them and tools/plot_*.py into DIR/bin)"
[ "$figure" = 1 ]
