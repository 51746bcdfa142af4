#!/usr/bin/env bash
# cmake --install of a build tree into a scratch prefix: the programs and
# the plotting tools land in <prefix>/bin and run from there.
# Usage: test_install.sh BUILD_DIR [CMAKE]
set -eu
build=$1
cmake=${2:-cmake}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for program in boxmodel boxmodel-rates plot_day.py; do
  [ -x "$prefix/bin/$program" ] || { echo "FAIL: $prefix/bin/$program is not installed"; exit 1; }
done
"$prefix/bin/boxmodel-rates" --temp 298 --cm 2.5e19 | grep -q "NO2 -> O3P + NO" ||
  { echo "FAIL: the installed boxmodel-rates does not list the rates"; exit 1; }
"$prefix/bin/plot_day.py" --help | grep -q "species table" ||
  { echo "FAIL: the installed plot_day.py does not run"; exit 1; }
echo "installed: $(ls "$prefix/bin" | tr '\n' ' ')"
