#!/usr/bin/env bash
# Hardening checks, each in its own build tree under the source tree:
#   sanitize  the whole test suite built and run under AddressSanitizer and
#             UndefinedBehaviorSanitizer (g++)
#   fuzz      a bounded libFuzzer run over the reader of both input files,
#             then one over the mechanism file reader (clang with
#             libFuzzer); a finding fails the step and leaves the input in
#             build-fuzz/artifacts/
#   valgrind  the example day under valgrind's memcheck: no errors, no leaks
#   forms     the test suite with the kernels built in one instruction-set
#             form only, baseline and AVX, so that each form the program may
#             pick on another processor is checked to give the same bits
#             (the byte-for-byte example day included)
# Usage: tools/run-hardening.sh [sanitize] [fuzz] [valgrind] [forms]   (default: all)
# FUZZ_SECONDS sets the length of each fuzz run (default 60). The Debian
# packages of tools/packages.txt [build] and [hardening] that are missing
# are installed first (as root), or named (otherwise).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
source tools/lib/ensure-packages.sh
ensure_packages build hardening || exit 1
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(sanitize fuzz valgrind forms)

timed() {
  local name=$1
  shift
  local start=$SECONDS
  echo "=== $name"
  "$@"
  echo "=== $name: done in $((SECONDS - start)) s"
}

sanitize() {
  cmake --preset sanitize
  cmake --build --preset sanitize
  ctest --preset sanitize
}

fuzz() {
  cmake --preset fuzz
  cmake --build --preset fuzz
  local work=build-fuzz/corpus artifacts=build-fuzz/artifacts
  rm -rf "$work" "$work-mechanism" "$artifacts"
  mkdir -p "$work" "$artifacts"
  # New inputs go to the scratch corpus; the committed seeds are only read.
  # -timeout catches a hang, -rss_limit_mb a runaway allocation, and the
  # sanitizers (leaks included) the rest.
  build-fuzz/fuzz/input_reader_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 \
    -rss_limit_mb=2048 -max_len=4096 -dict=fuzz/input_reader.dict \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$work" fuzz/corpus
  # The mechanism reader: its own scratch corpus, seeded with the small
  # mechanisms of fuzz/mechanism_corpus and the shipped MCM subsets.
  mkdir -p "$work-mechanism"
  build-fuzz/fuzz/mechanism_reader_fuzz -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 \
    -rss_limit_mb=2048 -max_len=16384 -dict=fuzz/mechanism_reader.dict \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$work-mechanism" fuzz/mechanism_corpus \
    tests/data/mcm
}

valgrind_example() {
  cmake --preset valgrind
  cmake --build --preset valgrind
  local exe=$here/build-valgrind/bin/boxmodel run=$here/build-valgrind/example-day
  rm -rf "$run"
  mkdir -p "$run/native" "$run/memcheck"
  for d in native memcheck; do
    cp examples/day/inputn examples/day/ValuesAtSite_extractedFromWRFchemAug31.txt_test "$run/$d/"
  done
  (cd "$run/native" && "$exe" > stdout.txt)
  # Status 99 is memcheck's own (an error or a definite or indirect leak);
  # anything else non-zero is the program's.
  local status=0
  (cd "$run/memcheck" && valgrind --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
    --log-file=memcheck.log "$exe" > stdout.txt) || status=$?
  tail -n 12 "$run/memcheck/memcheck.log"
  if [ "$status" -ne 0 ]; then
    echo "valgrind: the example day ended with status $status (log: $run/memcheck/memcheck.log)"
    return 1
  fi
  # valgrind does not emulate the floating-point traps or denormals-as-zero
  # (it warns that it cannot unmask the exceptions), so a clean run is all
  # it can check; its outputs should still equal the native run's unless a
  # denormal operand occurred somewhere.
  for f in TS_species.txt stdout.txt; do
    cmp -s "$run/native/$f" "$run/memcheck/$f" ||
      echo "valgrind: note: $f differs from the native run (denormal operands are not read as zero under valgrind)"
  done
}

kernel_forms() {
  local forms=(baseline)
  grep -qw avx /proc/cpuinfo && forms+=(avx)
  for form in "${forms[@]}"; do
    cmake --preset "form-$form"
    cmake --build --preset "form-$form"
    ctest --preset "form-$form"
  done
}

for step in "${steps[@]}"; do
  case $step in
    sanitize) timed "ASan+UBSan test suite" sanitize ;;
    fuzz) timed "fuzzing the input reader" fuzz ;;
    valgrind) timed "example day under valgrind memcheck" valgrind_example ;;
    forms) timed "each kernel form on its own" kernel_forms ;;
    *) echo "unknown step: $step (sanitize, fuzz, valgrind or forms)" >&2; exit 2 ;;
  esac
done
