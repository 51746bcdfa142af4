#!/usr/bin/env bash
# Profile one whole run of the example day with callgrind and summarise it:
# the shares of the run (rate coefficients, right-hand side, Jacobian,
# factorisation, solve, integrator, formatting, I/O, ...), then the
# floating-point operations, instructions and time per call of the four
# mechanism kernels.
# Usage:
#   tools/profile-run.sh [build-dir]
# Needs valgrind and python3 (Debian's /usr/bin/python3 first); the kernel
# timings need the benchmarks (Google Benchmark). The clock rate for the
# cycle estimates is read from /proc/cpuinfo unless GHZ is set. The run is
# made in <build-dir>/profile-day/, a scratch copy of examples/day.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tools/lib/ensure-packages.sh"
python=$(python_with json)  # profile.py needs only the standard library
build=${1:-"$here/build"}
mkdir -p "$build"
build=$(cd "$build" && pwd)
if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$here" && cmake --preset release -B "$build")
fi
cmake --build "$build" --target boxmodel
have_bench=0
if cmake --build "$build" --target bench_mechanism >/dev/null 2>&1; then have_bench=1; fi

run="$build/profile-day"
rm -rf "$run"
mkdir -p "$run/native"
cp "$here"/examples/day/inputn "$here"/examples/day/ValuesAtSite_extractedFromWRFchemAug31.txt_test "$run"/
cp "$run"/inputn "$run"/ValuesAtSite_extractedFromWRFchemAug31.txt_test "$run"/native/
(cd "$run/native" && "$build/bin/boxmodel" > stdout.txt)
cd "$run"
valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$build/bin/boxmodel" \
  > stdout.txt 2> valgrind.txt
# The program sets floating-point traps and denormals-are-zero at start;
# the run under the simulator must still produce the native run's output.
if cmp -s stdout.txt native/stdout.txt && cmp -s TS_species.txt native/TS_species.txt; then
  echo "Under callgrind the run's output is byte-for-byte the native run's."
else
  echo "Warning: the output under callgrind differs from the native run's." >&2
fi
echo
"$python" "$here/tools/profile.py" run callgrind.out
echo

ghz=${GHZ:-$(awk -F: '/^cpu MHz/ {printf "%.3f", $2 / 1000; exit}' /proc/cpuinfo)}
bench_args=()
if [ "$have_bench" = 1 ]; then
  "$build/bench/bench_mechanism" --benchmark_filter='racm_fun|racm_jac_sp|decomp_racm_shifted|racm_solve$|copy_matrix' \
    --benchmark_repetitions=5 --benchmark_format=json > bench_mechanism.json
  bench_args=(--bench bench_mechanism.json --ghz "$ghz")
fi
"$python" "$here/tools/profile.py" kernels "$build/mechanism/generated" --callgrind callgrind.out "${bench_args[@]}"
