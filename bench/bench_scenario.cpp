// Whole runs of the example day through the driver: the model's own run
// (inputs read as it goes, species table and progress lines) against the
// same day as a scenario parsed from TOML (every input read and checked
// first), with the model's outputs, with none, and with CSV and NetCDF of
// every species. The chemistry is the same work in each (the counters show
// the Rosenbrock steps), so a scenario run must cost no more than the
// model's own.
#include <benchmark/benchmark.h>

#include <string>

#include "run/run.hpp"
#include "output/text_output.hpp"
#include "output/netcdf_writer.hpp"
#include "scenario/scenario_file.hpp"
#include "tests/support/example_copy.hpp"

namespace {

using box::testing::ExampleCopy;

void report_work(benchmark::State& state, const box::Run& run) {
  const box::StepStatistics& s = run.chemistry().statistics();
  state.counters["chem_steps"] = static_cast<double>(s.steps);
  state.counters["ros_steps"] = static_cast<double>(s.nstp);
  state.counters["nfun"] = static_cast<double>(s.nfun);
}

void BM_ModelDayRun(benchmark::State& state) {
  const ExampleCopy example;
  box::TextOutput out = box::TextOutput::create("/dev/null", "/dev/null");
  for (auto _ : state) {
    box::Run run(example.dir(), out);
    run.run_day();
    report_work(state, run);
  }
}
BENCHMARK(BM_ModelDayRun)->Unit(benchmark::kMillisecond);

// The scenario file's text is parsed in every iteration: reading and
// checking it and the site belong to the cost of a scenario run.
void scenario_benchmark(benchmark::State& state, const std::string& output) {
  const ExampleCopy example;
  // Paths in the file are taken from its folder, here the example's copy.
  const std::string toml = "[site]\nparameters = \"inputn\"\nrecords = \"" +
                           std::string(box::site_file_name) + "\"\n[output]\ndir = \"out\"\n" + output;
  box::TextOutput out = box::TextOutput::create("/dev/null", "/dev/null");
  for (auto _ : state) {
    box::Scenario scenario = box::parse_scenario(toml, "bench.toml", example.dir());
    std::filesystem::create_directories(scenario.output.dir);
    box::Run run(std::move(scenario), out);
    run.run_day();
    report_work(state, run);
  }
}

void BM_ScenarioRunTable(benchmark::State& state) { scenario_benchmark(state, "formats = [\"table\"]\n"); }
BENCHMARK(BM_ScenarioRunTable)->Unit(benchmark::kMillisecond);

void BM_ScenarioRunNoOutput(benchmark::State& state) {
  scenario_benchmark(state, "formats = []\nprogress_lines = false\n");
}
BENCHMARK(BM_ScenarioRunNoOutput)->Unit(benchmark::kMillisecond);

void BM_ScenarioRunCsvNetcdfAll(benchmark::State& state) {
  if (!box::netcdf_available()) {
    state.SkipWithError("built without netCDF");
    return;
  }
  scenario_benchmark(state, "formats = [\"csv\", \"netcdf\"]\nspecies = \"all\"\nprogress_lines = false\n");
}
BENCHMARK(BM_ScenarioRunCsvNetcdfAll)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
