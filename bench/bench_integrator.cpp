// Cost of one integration with the Rosenbrock integrator, with its step and
// evaluation counts:
// - one 300 s chemistry step of the mechanism, as the model run takes it
//   (ROS-3, autonomous, absolute tolerance 1 molecule cm-3, relative 1e-3,
//   first trial step 3 s), under a noon sun and at dawn: from the
//   start-of-day state (radicals at 0, the stiffest step of a day) and from
//   a parcel spun up for an hour under the same sun;
// - Robertson's three-species stiff kinetics, the integrator's own overhead
//   on a tiny dense system.
#include <benchmark/benchmark.h>

#include <array>
#include <utility>

#include "chemistry/concentration_slots.hpp"
#include "chemistry/mechanism_system.hpp"
#include "chemistry/photolysis.hpp"
#include "common/one_based.hpp"
#include "run/initial_state.hpp"
#include "integrator/rosenbrock.hpp"
#include "mechanism/mechanism.hpp"
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

constexpr double temp = 298.0;   // K
constexpr double c_m = 2.46e19;  // air, molecules cm-3 (1013 hPa, 298 K)
constexpr double chemistry_step = 300.0;  // s

// The run's controls: autonomous, ROS-3, first trial step 1/100 of the step.
struct RunControls {
  IntControls icntrl{};
  RealControls rcntrl{};
  std::array<double, nvar> atol{}, rtol{};
  RunControls() {
    icntrl[at(1)] = 1;
    icntrl[at(3)] = 2;
    rcntrl[at(3)] = 0.01 * chemistry_step;
    atol.fill(1.0);
    rtol.fill(1.0e-3);
  }
};

// One air parcel: the start-of-day surface state of the model run, brought
// into the chemistry's own species order, then spun up for a number of
// chemistry steps under the given sun.
struct Parcel {
  std::array<double, nfix> fix{};
  std::array<double, nreact> rconst{};
  std::array<double, nvar> var{};
  bool spun_up = true;

  Parcel(double coszen, int spin_up_steps) {
    const PhotolysisRates j = table_photolysis(coszen);
    const ConcentrationVector vc = initial_concentrations();
    fix[at(indf_h2o)] = vc[at(lh2o)] * c_m;
    fix[at(indf_m)] = c_m;
    racm_update_rconst(j.data(), rconst.data(), c_m,
                       temp);
    // The species present at the start of the day (the others start at 0).
    constexpr std::pair<int, int> present[] = {
        {ind_ch4, lch4},   {ind_co, lco},     {ind_co2, lco2},   {ind_h2o2, lh2o2},
        {ind_hcho, lhcho}, {ind_hno3, lhno3}, {ind_api, lapi},   {ind_lim, llim},
        {ind_iso, liso},   {ind_macr, lmacr}, {ind_no, lno},     {ind_no2, lno2},
        {ind_no3, lno3},   {ind_o3, lo3},     {ind_eth, leth},   {ind_ete, lete},
        {ind_ald, lald},   {ind_ket, lket},   {ind_tol, ltol},   {ind_xyl, lxyl},
        {ind_pan, lpan},   {ind_ora1, lora1}, {ind_ora2, lora2}, {ind_hc3, lhc3},
        {ind_hc5, lhc5},   {ind_hc8, lhc8},   {ind_olt, lolt},   {ind_oli, loli},
        {ind_bro, lbro},   {ind_br2, lbr2},   {ind_hobr, lhobr}};
    for (const auto& [species, slot] : present) var[at(species)] = vc[at(slot)] * c_m;
    MechanismIntegrator ros;
    const RunControls run;
    for (int step = 0; step < spin_up_steps; ++step) {
      int ierr = 0;
      ros.integrate(system(), 0.0, chemistry_step, var.data(), run.atol.data(),
                    run.rtol.data(), &run.icntrl, &run.rcntrl, nullptr, nullptr,
                    &ierr);
      spun_up = spun_up && ierr == ros_success;
    }
  }
  MechanismSystem system() const { return {fix.data(), rconst.data()}; }
};

// One 300 s step of the mechanism.
void mechanism_step(benchmark::State& state, double coszen, int spin_up_steps) {
  const Parcel parcel(coszen, spin_up_steps);
  if (!parcel.spun_up) state.SkipWithError("spin-up failed");
  const MechanismSystem sys = parcel.system();
  const RunControls run;
  MechanismIntegrator ros;
  IntControls istatus{};
  int ierr = 0;
  for (auto _ : state) {
    std::array<double, nvar> var = parcel.var;
    ros.integrate(sys, 0.0, chemistry_step, var.data(), run.atol.data(),
                  run.rtol.data(), &run.icntrl, &run.rcntrl, &istatus,
                  nullptr, &ierr);
    benchmark::DoNotOptimize(var.data());
  }
  report(state, istatus, ierr);
}
constexpr double noon = 0.8;   // cosine of the solar zenith angle
constexpr double dawn = 0.05;
constexpr int one_hour = 12;  // chemistry steps
BENCHMARK_CAPTURE(mechanism_step, noon, noon, one_hour)->Name("BM_mechanism_step_noon");
BENCHMARK_CAPTURE(mechanism_step, dawn, dawn, one_hour)->Name("BM_mechanism_step_dawn");
BENCHMARK_CAPTURE(mechanism_step, noon_start, noon, 0)->Name("BM_mechanism_first_step_noon");
BENCHMARK_CAPTURE(mechanism_step, dawn_start, dawn, 0)->Name("BM_mechanism_first_step_dawn");

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
    ros.integrate(sys, 0.0, 40.0, y.data(), atol.data(), rtol.data(),
                  &icntrl, nullptr, &istatus, nullptr, &ierr);
    benchmark::DoNotOptimize(y.data());
  }
  report(state, istatus, ierr);
}
BENCHMARK(BM_robertson_ros3);

}  // namespace

BENCHMARK_MAIN();
