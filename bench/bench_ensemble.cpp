// Ensembles of the example day: members per second and box-days per second
// per core through the whole ensemble program (members built from the base
// scenario and random rate factors, run on the worker threads, streamed
// into ensemble.nc), for 1 and 2 threads, one box at a time (lanes:1) and
// with the processor's lanes (lanes:0, four boxes per AVX2 register).
//
//   bench_ensemble --benchmark_filter='members:1000'   the 1,000-member figure
//   bench_ensemble --benchmark_filter='threads:1/members:100/'   lanes against one box at a time
//
// And ensembles of a mechanism file: 64 members of the shipped MCM isoprene
// subset (initial isoprene from 0.5 to 8 ppb) on one thread, one box at a
// time against four per register, CPU time per member; with the MCM's
// clear-sky photolysis (light:1, frequencies following time within each
// step) and in the dark (light:0, coefficients held over each step).
//
//   bench_ensemble --benchmark_filter=MechanismFile
#include <benchmark/benchmark.h>

#include <ctime>
#include <fstream>
#include <string>

#include "app/ensemble_program.hpp"
#include "tests/support/example_copy.hpp"

namespace {

void BM_EnsembleOfExampleDays(benchmark::State& state) {
  const unsigned threads = static_cast<unsigned>(state.range(0));
  const long members = state.range(1);
  const unsigned lanes = static_cast<unsigned>(state.range(2));
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
  options.lanes = lanes;
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
    ->ArgNames({"threads", "members", "lanes"})
    ->ArgsProduct({{1, 2}, {100, 1000}, {1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_EnsembleOfMechanismFile(benchmark::State& state) {
  const long members = state.range(0);
  const unsigned lanes = static_cast<unsigned>(state.range(1));
  const bool light = state.range(2) != 0;
  const box::testing::ExampleCopy example;
  std::ofstream(example.dir() / "iso.toml")
      << "[site]\nparameters = \"inputn\"\nrecords = \"ValuesAtSite_extractedFromWRFchemAug31.txt_test\"\n"
         "[chemistry]\nmechanism = \""
      << BOXMODEL_SOURCE_DIR << "/tests/data/mcm/mcm331-isoprene.fac\"\n[photolysis]\nmethod = \""
      << (light ? "mcm" : "none") << "\"\n"
      << "[initial]\nO3 = 30.0\nNO = 1.0\nNO2 = 5.0\nC5H8 = 2.0\n";
  {
    std::ofstream list(example.dir() / "members.csv");
    list << "initial.C5H8\n";
    for (long m = 0; m < members; ++m) list << 0.5 + 7.5 * static_cast<double>(m) / static_cast<double>(members) << "\n";
  }
  std::ofstream(example.dir() / "e.toml")
      << "base = \"iso.toml\"\nmembers = \"members.csv\"\n[output]\ndir = \"out\"\nformats = [\"csv\"]\n"
         "species = [\"O3\", \"NO\", \"NO2\", \"C5H8\", \"NO3\"]\n";
  box::ensemble::Options options;
  options.threads = 1;
  options.progress = false;
  options.lanes = lanes;
  double cpu = 0.0;
  for (auto _ : state) {
    const std::clock_t start = std::clock();
    const int status = box::ensemble::run_ensemble_program(example.dir() / "e.toml", options);
    cpu += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (status != 0) state.SkipWithError("the ensemble failed");
  }
  const double done = static_cast<double>(members) * static_cast<double>(state.iterations());
  state.counters["cpu_ms_per_member"] = 1e3 * cpu / done;
}
BENCHMARK(BM_EnsembleOfMechanismFile)
    ->ArgNames({"members", "lanes", "light"})
    ->ArgsProduct({{64}, {1, 0}, {1, 0}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
