#!/bin/bash
# An ensemble run by two MPI processes writes the same bytes as one process
# with one thread, and both processes end with the ensemble's exit status.
# Usage: test_mpi.sh MPIRUN BOXMODEL EXAMPLE_DAY_DIR
set -u
mpirun=$1 boxmodel=$2 example=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$example/inputn" "$example/ValuesAtSite_extractedFromWRFchemAug31.txt_test" "$work/"
cd "$work" || exit 1
cat > base.toml <<'TOML'
[time]
hours = 2
TOML
cat > members.csv <<'CSV'
initial.O3,chemistry.photolysis_factor,site.records
30,1.0,ValuesAtSite_extractedFromWRFchemAug31.txt_test
45,0.8,ValuesAtSite_extractedFromWRFchemAug31.txt_test
60,1.0,missing.txt
20,1.1,ValuesAtSite_extractedFromWRFchemAug31.txt_test
55,1.2,ValuesAtSite_extractedFromWRFchemAug31.txt_test
CSV
cat > e.toml <<'TOML'
base = "base.toml"
members = "members.csv"
[monte_carlo]
seed = 7
uncertainty = { default = 1.2 }
[output]
dir = "out"
species = ["O3", "NO", "HO"]
formats = ["netcdf", "csv"]
TOML
# The same files in two folders, so that the names recorded in the outputs
# agree.
mkdir one two
cp inputn ValuesAtSite_extractedFromWRFchemAug31.txt_test base.toml members.csv e.toml one/
cp inputn ValuesAtSite_extractedFromWRFchemAug31.txt_test base.toml members.csv e.toml two/

(cd one && "$boxmodel" ensemble e.toml --threads 1 2>../one.err)
status=$?
[ $status -eq 4 ] || { echo "one process: exit status $status, expected 4"; cat one.err; exit 1; }
(cd two && "$mpirun" --allow-run-as-root --oversubscribe -np 2 "$boxmodel" ensemble e.toml --threads 1 >../two.out 2>../two.err)
status=$?
[ $status -eq 4 ] || { echo "two processes: exit status $status, expected 4"; cat two.err; exit 1; }
grep -q "2 processes" two.err || { echo "the summary does not show two processes:"; cat two.err; exit 1; }
for f in ensemble.nc ensemble.csv; do
  cmp one/out/$f two/out/$f || { echo "$f differs between one and two processes"; exit 1; }
done
echo "two MPI processes wrote the same bytes as one process"
