// The coefficient sets: values derived at build time, and the right-hand
// sides each method evaluates per step.
#include <gtest/gtest.h>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box {
namespace {

// ROS-2 is computed from g = 1 + 1/sqrt(2) when the program is built; the
// results must be the doubles its published decimals denote.
TEST(Methods, Ros2ValuesDerivedFromGamma) {
  EXPECT_EQ(ros2_coefficients.ros_a[0], 0.585786437626905);
  EXPECT_EQ(ros2_coefficients.ros_c[0], -1.17157287525381);
  EXPECT_EQ(ros2_coefficients.ros_m[0], 0.8786796564403575);
  EXPECT_EQ(ros2_coefficients.ros_m[1], 0.2928932188134525);
  EXPECT_EQ(ros2_coefficients.ros_e[1], 0.2928932188134525);
  EXPECT_EQ(ros2_coefficients.ros_gamma[1], -1.7071067811865475);
}

// Right-hand sides per step in autonomous mode: one at the step start and
// one per later stage that does not reuse the previous one.
TEST(Methods, RightHandSidesPerStep) {
  testing::LinearSystem<1> sys;
  sys.a = {-1.0};
  const int expected[5] = {2, 2, 3, 3, 6};
  for (int m = 1; m <= 5; ++m) {
    Rosenbrock<testing::LinearSystem<1>> ros;
    IntControls icntrl{};
    icntrl[at(1)] = 1;
    icntrl[at(3)] = m;
    IntControls istatus{};
    double y = 1.0, atol = 1.0e-6, rtol = 1.0e-4;
    ros.integrate(sys, 0.0, 2.0, &y, &atol, &rtol, &icntrl, nullptr,
                  &istatus);
    EXPECT_EQ(istatus[at(ifun)],
              istatus[at(iacc)] + (expected[m - 1] - 1) * istatus[at(istp)])
        << "method " << m;
    EXPECT_EQ(istatus[at(isol)], ros.method().ros_s * istatus[at(istp)]);
  }
}

// The named options are the control arrays by name: Robertson's problem
// with a method, tolerances, bounds and factors set both ways gives the
// same bits, status and counters; a bad option is the same error.
TEST(Methods, NamedOptionsAreTheControlArrays) {
  IntegratorOptions o;
  o.method = 4;
  o.rtol = 1e-5;
  o.atol = 1e-9;
  o.hstart = 1e-6;
  o.hmax = 10.0;
  o.facmax = 4.0;
  o.max_steps = 5000;
  const testing::Robertson sys;
  Rosenbrock<testing::Robertson> named, positional;
  std::array<double, 3> a{1.0, 0.0, 0.0}, b = a;
  const IntegrationResult r = named.integrate(sys, 0.0, 40.0, a.data(), o);

  IntControls icntrl{};
  RealControls rcntrl{};
  icntrl[at(3)] = 4;
  icntrl[at(4)] = 5000;
  rcntrl[at(2)] = 10.0;
  rcntrl[at(3)] = 1e-6;
  rcntrl[at(5)] = 4.0;
  const std::array<double, 3> atol{1e-9, 1e-9, 1e-9}, rtol{1e-5, 1e-5, 1e-5};
  IntControls istatus{};
  RealControls rstatus{};
  int ierr = 0;
  positional.integrate(sys, 0.0, 40.0, b.data(), atol.data(), rtol.data(), &icntrl, &rcntrl,
                       &istatus, &rstatus, &ierr);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.status, ierr);
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i], b[i]) << i;
  EXPECT_EQ(r.counters.nstp, istatus[at(istp)]);
  EXPECT_EQ(r.counters.nacc, istatus[at(iacc)]);
  EXPECT_EQ(r.counters.nrej, istatus[at(irej)]);
  EXPECT_EQ(r.t_reached, rstatus[at(itexit)]);
  EXPECT_EQ(r.h_last, rstatus[at(ihexit)]);
  EXPECT_GT(r.counters.nrej + r.counters.nacc, 10);

  o.method = 9;
  std::array<double, 3> c{1.0, 0.0, 0.0};
  EXPECT_EQ(named.integrate(sys, 0.0, 40.0, c.data(), o).status, ros_bad_method);
}

}  // namespace
}  // namespace box
