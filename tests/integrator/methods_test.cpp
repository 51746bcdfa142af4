// The coefficient sets: derived values, the structure the step loop relies
// on, and the right-hand-side evaluations each method makes per step.
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

TEST(Methods, SelectionByNumber) {
  EXPECT_EQ(rosenbrock_method(1)->ros_name, "ROS-2       ");
  EXPECT_EQ(rosenbrock_method(2)->ros_name, "ROS-3       ");
  EXPECT_EQ(rosenbrock_method(3)->ros_name, "ROS-4       ");
  EXPECT_EQ(rosenbrock_method(4)->ros_name, "RODAS-3     ");
  EXPECT_EQ(rosenbrock_method(5)->ros_name, "RODAS-4     ");
  EXPECT_EQ(rosenbrock_method(0), nullptr);
  EXPECT_EQ(rosenbrock_method(6), nullptr);
  for (int m = 1; m <= 5; ++m) {
    EXPECT_EQ(rosenbrock_method(m)->ros_name.size(), 12u);
  }
}

// Stiffly accurate methods: the last stage's input is the new state without
// that stage, and the error estimate is the last stage alone.
TEST(Methods, RodasMethodsAreStifflyAccurate) {
  for (const RosenbrockMethod* m : {&racm_rodas3, &racm_rodas4}) {
    const int s = m->ros_s;
    for (int j = 0; j < s - 1; ++j) {
      EXPECT_EQ(m->ros_a[static_cast<std::size_t>(lower_triangle(s - 1, j))],
                m->ros_m[static_cast<std::size_t>(j)]);
      EXPECT_EQ(m->ros_e[static_cast<std::size_t>(j)], 0.0);
    }
    EXPECT_EQ(m->ros_e[static_cast<std::size_t>(s - 1)], 1.0);
    EXPECT_EQ(m->ros_m[static_cast<std::size_t>(s - 1)], 1.0);
  }
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
