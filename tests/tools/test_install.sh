#!/usr/bin/env bash
# cmake --install of a build tree into a scratch prefix: the programs and
# the plotting tools land in <prefix>/bin and run from there; the NetCDF
# and MPI modules land in <prefix>/<libdir>/boxmodel, and the installed
# program loads neither library at start but writes NetCDF through its
# module.
# Usage: test_install.sh BUILD_DIR [CMAKE]
set -eu
build=$1
cmake=${2:-cmake}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for program in boxmodel boxmodel-rates plot_day.py plot_isopleths.py; do
  [ -x "$prefix/bin/$program" ] || { echo "FAIL: $prefix/bin/$program is not installed"; exit 1; }
done
"$prefix/bin/boxmodel-rates" --temp 298 --cm 2.5e19 | grep -q "NO2 -> O3P + NO" ||
  { echo "FAIL: the installed boxmodel-rates does not list the rates"; exit 1; }
"$prefix/bin/plot_day.py" --help | grep -q "species table" ||
  { echo "FAIL: the installed plot_day.py does not run"; exit 1; }
"$prefix/bin/plot_isopleths.py" --help | grep -q "isopleths.csv" ||
  { echo "FAIL: the installed plot_isopleths.py does not run (beside plot_day.py)"; exit 1; }
# Start-up: the program maps no NetCDF, HDF5 or MPI library until it
# needs one.
if ldd "$prefix/bin/boxmodel" | grep -Ei 'netcdf|hdf5|mpi'; then
  echo "FAIL: the installed boxmodel loads NetCDF or MPI at start"; exit 1
fi
if [ -f "$build/lib/boxmodel/libboxmodel_netcdf.so" ]; then
  [ -n "$(find "$prefix" -name libboxmodel_netcdf.so)" ] ||
    { echo "FAIL: the NetCDF module is not installed"; exit 1; }
  example=$(cd "$(dirname "$0")/../../examples/day" && pwd)
  work=$prefix/run
  mkdir "$work"
  cp "$example/inputn" "$example/ValuesAtSite_extractedFromWRFchemAug31.txt_test" "$work/"
  printf '[time]\nhours = 1\n[output]\nformats = ["netcdf"]\n' > "$work/s.toml"
  (cd "$work" && "$prefix/bin/boxmodel" run s.toml --quiet) && [ -s "$work/species.nc" ] ||
    { echo "FAIL: the installed boxmodel does not write species.nc"; exit 1; }
fi
echo "installed: $(ls "$prefix/bin" | tr '\n' ' ')"
