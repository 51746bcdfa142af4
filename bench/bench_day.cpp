// The example day's chemistry: the 204 chemistry steps of the day with the
// run's settings, replayed from the air state and photolysis rates the
// driver computed for each step, with no file or text output.
#include <benchmark/benchmark.h>

#include <array>
#include <filesystem>
#include <vector>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "driver/run.hpp"
#include "driver/text_output.hpp"
#include "tests/support/example_copy.hpp"

namespace {

namespace fs = std::filesystem;

struct StepInputs {
  double dt, p, t, rho, moist;
  box::PhotolysisRates ph;
};

struct Day {
  box::ConcentrationVector vc0{};
  std::vector<StepInputs> steps;
};

// Walks the example day once with the driver to collect what each
// chemistry step receives.
Day record_example_day() {
  const box::testing::ExampleCopy example;
  const fs::path& dir = example.dir();
  Day day;
  {
    box::TextOutput out = box::TextOutput::create("/dev/null", "/dev/null");
    box::Run run(dir, out);
    run.start();
    day.vc0 = run.vc();
    while (run.steps_done() < run.total_steps()) {
      run.step();
      day.steps.push_back({run.step_length(), run.pressure(), run.temperature(),
                           run.air_density(), run.moisture(), run.photolysis()});
    }
    run.finish();
  }
  return day;
}

void BM_ExampleDayChemistry(benchmark::State& state) {
  static const Day day = record_example_day();
  std::array<double, 17> vdrog3{};
  box::StepStatistics last{};
  for (auto _ : state) {
    box::ChemistryStep chemistry;
    box::ConcentrationVector vc = day.vc0;
    box::RadicalSlots radicals;
    for (const StepInputs& s : day.steps) {
      chemistry.racm_interface(box::nspec_old, vc.data(), 0, s.dt, s.p, s.t, s.rho, s.moist,
                               vdrog3.data(), 17, radicals, s.ph);
    }
    benchmark::DoNotOptimize(vc);
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

}  // namespace

BENCHMARK_MAIN();
