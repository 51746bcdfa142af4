// Ozone isopleth diagrams of the example day, 21 x 21 grid points (441 runs
// of the day) through the whole program on 2 threads, isopleths.csv and
// isopleths.nc written, no figure:
//   scaled:0  the example day itself (a closed box), its initial NOx and
//             VOC scaled: the members run in the vector lanes;
//   scaled:1  the example day with examples/isopleths/scenario.toml's
//             emissions scaled: open boxes, integrated one at a time.
//
//   bench_isopleths
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "app/isopleths_program.hpp"
#include "tests/support/example_copy.hpp"

namespace {

void BM_IsoplethsOfExampleDay(benchmark::State& state) {
  const bool emissions = state.range(0) == 1;
  const box::testing::ExampleCopy example;
  std::ofstream(example.dir() / "day.toml")
      << "[site]\nparameters = \"inputn\"\nrecords = \"ValuesAtSite_extractedFromWRFchemAug31.txt_test\"\n"
      << (emissions ? "[emissions]\nprofile = \"daylight\"\nNO = 2e11\nNO2 = 2e10\nISO = 3e11\nHC3 = 1e11\n" : "")
      << "[output]\nprogress_lines = false\n";
  std::ofstream(example.dir() / "iso.toml")
      << "base = \"day.toml\"\n"
      << (emissions ? "" : "nox = { of = \"initial\" }\nvoc = { of = \"initial\" }\n")
      << "[output]\ndir = \"out\"\n";
  box::ensemble::Options options;
  options.threads = 2;
  options.progress = false;
  for (auto _ : state) {
    if (box::ensemble::run_isopleths_program(example.dir() / "iso.toml", options, false) != 0)
      state.SkipWithError("the diagram failed");
  }
  state.counters["points_per_s"] =
      benchmark::Counter(441.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_IsoplethsOfExampleDay)
    ->ArgNames({"scaled"})
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
