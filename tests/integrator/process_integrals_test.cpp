// Integrals of process rates carried along by the integrator: against
// closed-form integrals, the closure Delta y = S z on a stiff nonlinear
// system with rejected steps, and species untouched by the accumulation.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box::testing {
namespace {

constexpr int ros2 = 1, ros3 = 2, ros4 = 3, rodas3 = 4, rodas4 = 5;

template <class S, std::size_t N>
struct Run {
  std::array<double, N> y{};
  IntControls istatus{};
  int ierr = 0;
};

// Integrates sys from y0 over [tin, tout]; with `processes` the integrals
// are accumulated.
template <class S, std::size_t N>
Run<S, N> integrate(const S& sys, std::array<double, N> y0, double tin, double tout, int method,
                    bool autonomous, double rtol, ProcessIntegrals* processes) {
  Rosenbrock<S> ros;
  IntControls icntrl{};
  icntrl[at(1)] = autonomous ? 1 : 0;
  icntrl[at(3)] = method;
  RealControls rcntrl{};
  std::array<double, N> atol{}, rtols{};
  atol.fill(1e-12);
  rtols.fill(rtol);
  Run<S, N> run;
  run.y = y0;
  ros.integrate(sys, tin, tout, run.y.data(), atol.data(), rtols.data(), &icntrl, &rcntrl,
                &run.istatus, nullptr, &run.ierr, processes);
  return run;
}

TEST(ProcessIntegrals, ConsecutiveReactionsMatchClosedForm) {
  // A -> B -> C over several time constants, for every method: the
  // integrals converge with the species at the method's accuracy.
  const Consecutive sys;
  const std::array<double, 3> y0 = {1.0, 0.25, 0.0};
  const double t = 3.0;
  const auto exact = sys.integrals(y0[0], y0[1], t);
  for (int method : {ros2, ros3, ros4, rodas3, rodas4}) {
    SCOPED_TRACE(method);
    // ROS-2's second order needs a looser tolerance to stay within its
    // step limit.
    const double rtol = method == ros2 ? 1e-7 : 1e-9;
    ProcessIntegrals z;
    const auto run = integrate(sys, y0, 0.0, t, method, true, rtol, &z);
    ASSERT_EQ(run.ierr, 1);
    ASSERT_EQ(z.size(), 2);
    EXPECT_NEAR(z.values()[0], exact[0], 1000 * rtol * exact[0]);
    EXPECT_NEAR(z.values()[1], exact[1], 1000 * rtol * exact[1]);
    // Each species' change is its net coefficients times the integrals, to
    // the rounding of the many steps (far below the integration error).
    EXPECT_NEAR(run.y[0] - y0[0], -z.values()[0], 1e-12);
    EXPECT_NEAR(run.y[1] - y0[1], z.values()[0] - z.values()[1], 1e-12);
    EXPECT_NEAR(run.y[2] - y0[2], z.values()[1], 1e-12);
  }
}

TEST(ProcessIntegrals, AccumulateAcrossIntegrationsUntilCleared) {
  const Consecutive sys;
  const std::array<double, 3> y0 = {1.0, 0.0, 0.0};
  ProcessIntegrals z;
  const auto first = integrate(sys, y0, 0.0, 1.0, rodas4, true, 1e-10, &z);
  integrate(sys, first.y, 1.0, 2.5, rodas4, true, 1e-10, &z);
  const auto exact = sys.integrals(1.0, 0.0, 2.5);
  EXPECT_NEAR(z.values()[0], exact[0], 1e-7);
  EXPECT_NEAR(z.values()[1], exact[1], 1e-7);
  z.clear();
  EXPECT_EQ(z.values()[0], 0.0);
  EXPECT_EQ(z.values()[1], 0.0);
}

TEST(ProcessIntegrals, TimeDependentSourceForwardAndBackward) {
  // The explicit time dependence enters the process stages through dr/dt,
  // as it enters the species stages through df/dt.
  const QuadraticProcesses sys;
  for (int method : {ros2, ros3, rodas4}) {
    SCOPED_TRACE(method);
    const double rtol = method == ros2 ? 1e-6 : 1e-8;
    ProcessIntegrals z;
    const auto run = integrate(sys, std::array<double, 1>{0.0}, 0.0, 2.0, method, false, rtol, &z);
    ASSERT_EQ(run.ierr, 1);
    EXPECT_NEAR(z.values()[0], 8.0 / 3.0, 100 * rtol);
    EXPECT_NEAR(z.values()[1], 8.0 / 3.0 + 4.0, 100 * rtol);
    // Closure holds to the rounding of the forward differences that give
    // df/dt and dr/dt (relative 1e-8 of f), not to that of the arithmetic.
    EXPECT_NEAR(run.y[0], z.values()[1] - z.values()[0], 1e-10);
    // Backward from t = 2 to t = 1: the integrals over [2, 1] are the
    // negatives of those over [1, 2].
    ProcessIntegrals back;
    const auto b = integrate(sys, std::array<double, 1>{4.0}, 2.0, 1.0, method, false, rtol, &back);
    ASSERT_EQ(b.ierr, 1);
    EXPECT_NEAR(back.values()[0], -7.0 / 3.0, 100 * rtol);
    EXPECT_NEAR(back.values()[1], -(7.0 / 3.0 + 3.0), 100 * rtol);
  }
}

TEST(ProcessIntegrals, StiffSystemClosesAndSpeciesAreUnchanged) {
  // Robertson's problem over 40 s (steps rejected on the way): the species
  // are the same bits with and without the integrals, and each species'
  // change is the net coefficients times the integrals to rounding of the
  // gross turnover.
  const RobertsonProcesses sys;
  const std::array<double, 3> y0 = {1.0, 0.0, 0.0};
  for (int method : {ros2, ros3, ros4, rodas3, rodas4}) {
    SCOPED_TRACE(method);
    const auto plain = integrate(sys, y0, 0.0, 40.0, method, true, 1e-4, nullptr);
    ProcessIntegrals z;
    const auto with = integrate(sys, y0, 0.0, 40.0, method, true, 1e-4, &z);
    ASSERT_EQ(with.ierr, 1);
    EXPECT_EQ(std::memcmp(plain.y.data(), with.y.data(), sizeof plain.y), 0);
    EXPECT_EQ(plain.istatus, with.istatus);
    for (int s = 0; s < 3; ++s) {
      double sum = 0.0, gross = 0.0;
      for (int r = 0; r < 3; ++r) {
        sum += RobertsonProcesses::net[s][r] * z.values()[static_cast<std::size_t>(r)];
        gross += std::abs(RobertsonProcesses::net[s][r] * z.values()[static_cast<std::size_t>(r)]);
      }
      const double delta = with.y[static_cast<std::size_t>(s)] - y0[static_cast<std::size_t>(s)];
      EXPECT_NEAR(delta, sum, 1e-12 * (gross + std::abs(delta)) + 1e-300) << "species " << s;
    }
    EXPECT_GT(with.istatus[at(irej)] + with.istatus[at(istp)] - with.istatus[at(iacc)], 0);
  }
}

TEST(ProcessIntegrals, SystemWithoutProcessesIgnoresTheAccumulator) {
  LinearSystem<1> sys;
  sys.a = {-1.0};
  ProcessIntegrals z(3);
  const auto run = integrate(sys, std::array<double, 1>{1.0}, 0.0, 1.0, ros3, true, 1e-6, &z);
  EXPECT_EQ(run.ierr, 1);
  EXPECT_EQ(z.values()[0], 0.0);
}

}  // namespace
}  // namespace box::testing
