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
  EXPECT_EQ(racm_ros2.ros_a[0], 0.585786437626905);
  EXPECT_EQ(racm_ros2.ros_c[0], -1.17157287525381);
  EXPECT_EQ(racm_ros2.ros_m[0], 0.8786796564403575);
  EXPECT_EQ(racm_ros2.ros_m[1], 0.2928932188134525);
  EXPECT_EQ(racm_ros2.ros_e[1], 0.2928932188134525);
  EXPECT_EQ(racm_ros2.ros_gamma[1], -1.7071067811865475);
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
    ros.racm_integrate(sys, 0.0, 2.0, &y, &atol, &rtol, &icntrl, nullptr,
                       &istatus);
    EXPECT_EQ(istatus[at(ifun)],
              istatus[at(iacc)] + (expected[m - 1] - 1) * istatus[at(istp)])
        << "method " << m;
    EXPECT_EQ(istatus[at(isol)], ros.method().ros_s * istatus[at(istp)]);
  }
}

}  // namespace
}  // namespace box
