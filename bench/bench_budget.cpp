// The cost of budgets: the example day's chemistry (204 steps with the
// run's settings) with and without the integrated reaction rates. The
// species are the same either way; the rate integrals ride along the
// integrator's stages.
#include <benchmark/benchmark.h>

#include <array>

#include "bench/example_day.hpp"

namespace {

using namespace box::bench;

// The run's chemistry step asking for each step's budget.
class BudgetDayStep {
 public:
  void step(double* vc, box::RadicalSlots& radicals, const StepInputs& s) {
    chemistry_.racm_interface_budget(vc, s.dt, s.t, s.rho, s.moist, radicals,
                                     s.ph, budget_);
    benchmark::DoNotOptimize(budget_);
  }

 private:
  box::ChemistryStep chemistry_;
  box::StepBudget budget_;
};

template <class Chemistry>
void run_day(benchmark::State& state) {
  const Day& day = example_day();
  for (auto _ : state) {
    Chemistry chemistry;
    replay_day(day, chemistry, [](std::size_t, const DayState& s) { benchmark::DoNotOptimize(s); });
  }
}

void BM_DayWithoutBudgets(benchmark::State& state) { run_day<RosenbrockDayStep>(state); }
void BM_DayWithBudgets(benchmark::State& state) { run_day<BudgetDayStep>(state); }
BENCHMARK(BM_DayWithoutBudgets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayWithBudgets)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
