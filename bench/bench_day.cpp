// The example day's chemistry: the 204 chemistry steps of the day with the
// run's settings, replayed from the air state and photolysis rates the
// driver computed for each step, with no file or text output.
#include <benchmark/benchmark.h>

#include "bench/example_day.hpp"
#include "driver/run.hpp"

namespace {

using namespace box::bench;

void BM_ExampleDayChemistry(benchmark::State& state) {
  const Day& day = example_day();
  box::StepStatistics last{};
  for (auto _ : state) {
    RosenbrockDayStep chemistry;
    replay_day(day, chemistry, [](std::size_t, const DayState& s) { benchmark::DoNotOptimize(s); });
    last = chemistry.statistics();
  }
  const double days = static_cast<double>(state.iterations());
  state.counters["chem_steps"] = static_cast<double>(last.steps);
  state.counters["ros_steps"] = static_cast<double>(last.nstp);
  state.counters["accepted"] = static_cast<double>(last.nacc);
  state.counters["rejected"] = static_cast<double>(last.nstp - last.nacc);
  state.counters["nfun"] = static_cast<double>(last.nfun);
  state.counters["njac"] = static_cast<double>(last.njac);
  state.counters["ndec"] = static_cast<double>(last.ndec);
  state.counters["nsol"] = static_cast<double>(last.nsol);
  state.counters["per_chem_step"] = benchmark::Counter(
      days * static_cast<double>(last.steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["per_ros_step"] = benchmark::Counter(
      days * static_cast<double>(last.nstp), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ExampleDayChemistry)->Unit(benchmark::kMillisecond);

// The whole example day as a scenario run (inputs read and checked, every
// step with its sun and records, no output written): the work that
// boxmodel run and the Python interface's boxmodel.run do, without process
// start-up or building a dataset. bench/bench_python.py times those.
void BM_ExampleDayScenarioRun(benchmark::State& state) {
  const box::testing::ExampleCopy example;
  box::Scenario scenario = box::default_scenario();
  scenario.site.parameters = example.dir() / "inputn";
  scenario.site.records = example.dir() / "ValuesAtSite_extractedFromWRFchemAug31.txt_test";
  scenario.output.formats.clear();
  scenario.output.progress_lines = false;
  box::TextOutput out = box::TextOutput::create("/dev/null", "/dev/null");
  for (auto _ : state) {
    box::Run run(scenario, out, box::load_site(scenario));
    run.run_day();
    benchmark::DoNotOptimize(run.vc());
  }
}
BENCHMARK(BM_ExampleDayScenarioRun)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
