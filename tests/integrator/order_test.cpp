// Observed order of convergence of each coefficient set. Loose tolerances
// accept every step and hmax = hstart fixes its size, so the error at the end
// comes from the method alone; halving the step divides it by 2^order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box::testing {
namespace {

struct MethodOrder {
  int method;
  double order;
};

class Order : public ::testing::TestWithParam<MethodOrder> {};

// Largest error at t = 1 after `steps` equal steps (a power of two, so the
// time lands on 1 exactly).
template <class S, class Exact>
double error_at_one(const S& sys, int method, bool autonomous, Exact exact,
                    int steps) {
  Rosenbrock<S> ros;
  std::array<double, S::n> atol, rtol;
  atol.fill(1.0e6);
  rtol.fill(0.5);
  IntControls icntrl{};
  icntrl[at(1)] = autonomous ? 1 : 0;
  icntrl[at(3)] = method;
  RealControls rcntrl{};
  rcntrl[at(2)] = 1.0 / steps;  // hmax
  rcntrl[at(3)] = 1.0 / steps;  // hstart
  IntControls istatus{};
  int ierr = 0;
  std::array<double, S::n> y = exact(0.0);
  ros.integrate(sys, 0.0, 1.0, y.data(), atol.data(), rtol.data(),
                &icntrl, &rcntrl, &istatus, nullptr, &ierr);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_EQ(istatus[at(iacc)], steps);
  EXPECT_EQ(istatus[at(istp)], steps);
  const auto truth = exact(1.0);
  double e = 0.0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    e = std::max(e, std::abs(y[i] - truth[i]));
  }
  return e;
}

template <class S, class Exact>
double observed_order(const S& sys, int method, bool autonomous, Exact exact,
                      int steps) {
  const double coarse = error_at_one(sys, method, autonomous, exact, steps);
  const double fine = error_at_one(sys, method, autonomous, exact, 2 * steps);
  const double order = std::log2(coarse / fine);
  ::testing::Test::RecordProperty("observed_order", std::to_string(order));
  return order;
}

// Linear and stiff: eigenvalues -1 and -1e4, both modes excited at t = 0.
TEST_P(Order, LinearStiffSystem) {
  constexpr double l1 = -1.0, l2 = -1.0e4;
  LinearSystem<2> sys;
  sys.a = {(l1 + l2) / 2, (l1 - l2) / 2, (l1 - l2) / 2, (l1 + l2) / 2};
  const auto exact = [&](double t) {
    const double slow = std::exp(l1 * t), fast = 0.5 * std::exp(l2 * t);
    return std::array<double, 2>{slow + fast, slow - fast};
  };
  EXPECT_NEAR(observed_order(sys, GetParam().method, true, exact, 64),
              GetParam().order, 0.3);
}

// Nonlinear, so that the conditions a linear problem cannot see (products
// of stage derivatives) are tested too.
TEST_P(Order, NonlinearSystem) {
  CurvedStiff sys;
  sys.lambda = 10.0;
  const auto exact = [&](double t) { return sys.exact(t); };
  EXPECT_NEAR(observed_order(sys, GetParam().method, true, exact, 256),
              GetParam().order, 0.3);
}

// Explicitly time-dependent, with an exact df/dt: the gamma_i df/dt terms of
// the stages decide the order.
TEST_P(Order, TimeDependentSystem) {
  const QuadraticForcing sys;
  const auto exact = [](double t) { return std::array<double, 1>{t * t}; };
  EXPECT_NEAR(observed_order(sys, GetParam().method, false, exact, 16),
              GetParam().order, 0.3);
}

std::string method_name(const ::testing::TestParamInfo<MethodOrder>& info) {
  constexpr std::array<const char*, 5> names = {"ROS2", "ROS3", "ROS4",
                                                "RODAS3", "RODAS4"};
  return names[at(info.param.method)];
}

INSTANTIATE_TEST_SUITE_P(AllMethods, Order,
                         ::testing::Values(MethodOrder{1, 2.0},
                                           MethodOrder{2, 3.0},
                                           MethodOrder{3, 4.0},
                                           MethodOrder{4, 3.0},
                                           MethodOrder{5, 4.0}),
                         method_name);

}  // namespace
}  // namespace box::testing
