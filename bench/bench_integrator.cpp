// Cost of one integration with the Rosenbrock integrator, with its step and
// evaluation counts. Robertson's three-species stiff kinetics shows the
// integrator's own overhead on a tiny dense system.
#include <benchmark/benchmark.h>

#include <array>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace {

using namespace box;

// Reports the counters of the last integration; "time_per_step" is the wall
// time per accepted step.
void report(benchmark::State& state, const IntControls& istatus, int ierr) {
  if (ierr != ros_success) state.SkipWithError("integration failed");
  const double accepted = istatus[at(iacc)];
  state.counters["accepted"] = accepted;
  state.counters["rejected"] = istatus[at(istp)] - istatus[at(iacc)];
  state.counters["f_evals"] = istatus[at(ifun)];
  state.counters["jac_evals"] = istatus[at(ijac)];
  state.counters["time_per_step"] = benchmark::Counter(
      accepted, benchmark::Counter::kIsIterationInvariantRate |
                    benchmark::Counter::kInvert);
}

// Robertson from 0 to 40 s with ROS-3, the method of the model run.
void BM_robertson_ros3(benchmark::State& state) {
  const testing::Robertson sys;
  Rosenbrock<testing::Robertson> ros;
  IntControls icntrl{};
  icntrl[at(1)] = 1;
  icntrl[at(3)] = 2;
  const std::array<double, 3> atol{1.0e-10, 1.0e-14, 1.0e-10};
  const std::array<double, 3> rtol{1.0e-4, 1.0e-4, 1.0e-4};
  IntControls istatus{};
  int ierr = 0;
  for (auto _ : state) {
    std::array<double, 3> y{1.0, 0.0, 0.0};
    ros.racm_integrate(sys, 0.0, 40.0, y.data(), atol.data(), rtol.data(),
                       &icntrl, nullptr, &istatus, nullptr, &ierr);
    benchmark::DoNotOptimize(y.data());
  }
  report(state, istatus, ierr);
}
BENCHMARK(BM_robertson_ros3);

}  // namespace

BENCHMARK_MAIN();
