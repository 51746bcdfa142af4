// The example day's chemistry: the 204 chemistry steps of the day with the
// run's settings, replayed from the air state and photolysis rates the
// driver computed for each step, with no file or text output; then the
// field-campaign day from the site's observations, free and constrained.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <vector>

#include "bench/example_day.hpp"
#include "chemistry/open_box.hpp"
#include "io/input_files.hpp"
#include "run/run.hpp"
#include "environment/observations.hpp"

namespace {

using namespace box::bench;

// The site's hourly records, the example day's 17 hours.
std::vector<box::SiteRecord> site_records() {
  const box::testing::ExampleCopy example;
  box::SiteFile site = box::SiteFile::open(example.dir());
  site.skip_header();
  std::vector<box::SiteRecord> records;
  for (int h = 0; h < 17; ++h) records.push_back(site.next());
  return records;
}

// The field-campaign form of the day: O3, NO, NO2, CO and HCHO start from
// the first record's observations, and the observed O3 and NO2 (ppb), with
// their record times in hours of the step clock (the first at the run's
// start, 5 h).
struct FieldDay {
  Day day;
  std::vector<double> time_h;
  std::vector<double> o3_ppb, no2_ppb;
};

const FieldDay& field_day() {
  static const FieldDay field = [] {
    FieldDay f;
    f.day = example_day();
    const std::vector<box::SiteRecord> records = site_records();
    const box::SiteRecord& first = records.front();
    f.day.vc0[box::at(box::lo3)] = first.ozone_read * 1e-9;
    f.day.vc0[box::at(box::lno)] = first.no_read * 1e-9;
    f.day.vc0[box::at(box::lno2)] = first.no2_read * 1e-9;
    f.day.vc0[box::at(box::lco)] = first.co_read * 1e-9;
    f.day.vc0[box::at(box::lhcho)] = first.hcho_read * 1e-9;
    for (std::size_t h = 0; h < records.size(); ++h) {
      f.time_h.push_back(5.0 + static_cast<double>(h));
      f.o3_ppb.push_back(records[h].ozone_read);
      f.no2_ppb.push_back(records[h].no2_read);
    }
    return f;
  }();
  return field;
}

// The chemistry step with O3 and NO2 held: before every step the driver
// sets them to the observations interpolated linearly at the step's start.
class HeldDayStep {
 public:
  explicit HeldDayStep(const FieldDay& field) : field_(field) {
    box::OpenBox open;
    open.held[box::at(box::ind_o3)] = true;
    open.held[box::at(box::ind_no2)] = true;
    chemistry_.set_open_box(open);
  }
  void step(double* vc, box::RadicalSlots& radicals, const StepInputs& s) {
    // The records end at the start of the day's last hour, which keeps
    // the last observation.
    const double t = std::min(5.0 + static_cast<double>(n_++) * s.dt / 3600.0, field_.time_h.back());
    const auto mode = box::Interpolation::linear;
    vc[box::at(box::lo3)] = *box::interpolate(field_.time_h, field_.o3_ppb, t, mode) * 1e-9;
    vc[box::at(box::lno2)] = *box::interpolate(field_.time_h, field_.no2_ppb, t, mode) * 1e-9;
    chemistry_.racm_interface(vc, s.dt, s.t, s.rho, s.moist, radicals, s.ph);
  }
  const box::StepStatistics& statistics() const { return chemistry_.statistics(); }

 private:
  const FieldDay& field_;
  std::size_t n_ = 0;
  box::ChemistryStep chemistry_;
};

template <class Chemistry, class Make>
void day_benchmark(benchmark::State& state, const Day& day, Make make) {
  box::StepStatistics last{};
  for (auto _ : state) {
    Chemistry chemistry = make();
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

void BM_ExampleDayChemistry(benchmark::State& state) {
  day_benchmark<RosenbrockDayStep>(state, example_day(), [] { return RosenbrockDayStep(); });
}
BENCHMARK(BM_ExampleDayChemistry)->Unit(benchmark::kMillisecond);

// The day started from the first site record, every species free, and the
// same day with O3 and NO2 held to the observations. A constrained day
// must cost no more than 1.2 times the free one.
void BM_FieldDayFree(benchmark::State& state) {
  day_benchmark<RosenbrockDayStep>(state, field_day().day, [] { return RosenbrockDayStep(); });
}
BENCHMARK(BM_FieldDayFree)->Unit(benchmark::kMillisecond);

void BM_FieldDayO3NO2Held(benchmark::State& state) {
  day_benchmark<HeldDayStep>(state, field_day().day, [] { return HeldDayStep(field_day()); });
}
BENCHMARK(BM_FieldDayO3NO2Held)->Unit(benchmark::kMillisecond);

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
