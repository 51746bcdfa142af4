// Ensembles of the example day: members per second and box-days per second
// per core through the whole ensemble program (members built from the base
// scenario and random rate factors, run on the worker threads, streamed
// into ensemble.nc), for 1 and 2 threads.
//
//   bench_ensemble --benchmark_filter='members:1000'   the 1,000-member figure
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>

#include "ensemble/program.hpp"
#include "tests/support/example_copy.hpp"

namespace {

void BM_EnsembleOfExampleDays(benchmark::State& state) {
  const unsigned threads = static_cast<unsigned>(state.range(0));
  const long members = state.range(1);
  const box::testing::ExampleCopy example;
  std::ofstream(example.dir() / "day.toml")
      << "[site]\nparameters = \"inputn\"\nrecords = \"ValuesAtSite_extractedFromWRFchemAug31.txt_test\"\n"
         "[output]\nprogress_lines = false\n";
  std::ofstream(example.dir() / "e.toml")
      << "base = \"day.toml\"\n[monte_carlo]\nmembers = " << members
      << "\nseed = 42\nuncertainty = { default = 1.1 }\n[output]\ndir = \"out\"\nspecies = [\"O3\", \"NO\", \"NO2\", \"HO\", \"HO2\"]\n";
  box::ensemble::Options options;
  options.threads = threads;
  options.progress = false;
  for (auto _ : state) {
    const int status = box::ensemble::run_ensemble_program(example.dir() / "e.toml", options);
    if (status != 0) state.SkipWithError("the ensemble failed");
  }
  const double done = static_cast<double>(members) * static_cast<double>(state.iterations());
  state.counters["members_per_s"] = benchmark::Counter(done, benchmark::Counter::kIsRate);
  // One member is one box integrated over the example day.
  state.counters["box_days_per_s_per_core"] = benchmark::Counter(done / threads, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EnsembleOfExampleDays)
    ->ArgNames({"threads", "members"})
    ->Args({1, 100})
    ->Args({2, 100})
    ->Args({1, 1000})
    ->Args({2, 1000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
