// The integrator entry: defaults and validation of the controls, the lines
// written for bad controls, the status arrays, and independence of objects.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box::testing {
namespace {

using Line = std::vector<LineItem>;
using Decay = LinearSystem<2>;
using State = std::array<double, 2>;

// The lines written before an error report, then the report itself.
std::vector<Line> with_report(std::vector<Line> lines, int code, double t) {
  lines.push_back({"Forced exit from Rosenbrock due to the following error:"});
  lines.push_back({ierr_names(code)});
  lines.push_back({"T=", t, "and H=", 0.0});
  return lines;
}

struct Entry : ::testing::Test {
  CapturedLines out;
  Rosenbrock<Decay> ros{out.sink()};
  Decay sys;
  State var{1.0, 2.0};
  State atol{1.0e-8, 1.0e-8}, rtol{1.0e-6, 1.0e-6};
  IntControls icntrl{}, istatus{};
  RealControls rcntrl{}, rstatus{};
  int ierr = 0;

  Entry() { sys.a = {-1.0, 0.5, 0.0, -3.0}; }
  void integrate(double tin, double tout) {
    out.lines.clear();
    istatus.fill(-99);
    rstatus.fill(-99.0);
    ros.integrate(sys, tin, tout, var.data(), atol.data(), rtol.data(),
                  &icntrl, &rcntrl, &istatus, &rstatus, &ierr);
  }
  // Calls the driver directly, where negative controls are seen.
  void drive() {
    out.lines.clear();
    istatus.fill(-99);
    ros.configure_and_integrate(sys, var.data(), 1.5, 2.0, atol.data(), rtol.data(),
                                rcntrl, icntrl, rstatus, istatus, ierr);
  }
};

TEST_F(Entry, IntervalShorterThanRoundoffTakesNoStep) {
  // The remaining distance is compared with roundoff as an absolute amount.
  for (const State interval : {State{3.0, 3.0}, State{0.0, 1.0e-16}}) {
    integrate(interval[0], interval[1]);
    EXPECT_EQ(ierr, ros_success);
    EXPECT_EQ(istatus, IntControls{});
    EXPECT_EQ(rstatus[at(itexit)], interval[0]);
    EXPECT_EQ(rstatus[at(ihexit)], 0.0);
    EXPECT_EQ(var, (State{1.0, 2.0}));
  }
}

TEST_F(Entry, UnknownMethodIsReportedAndLeavesTheStateAlone) {
  icntrl[at(3)] = 7;
  integrate(2.5, 10.0);
  EXPECT_EQ(ierr, ros_bad_method);
  EXPECT_EQ(out.lines,
            with_report({{"User-selected Rosenbrock method: ICNTRL(3)=",
                          std::int32_t{7}}},
                        ros_bad_method, 2.5));
  EXPECT_EQ(var, (State{1.0, 2.0}));
  EXPECT_EQ(istatus, IntControls{});  // the entry's zeroed working copy
}

TEST_F(Entry, BadToleranceNamesTheFirstOffendingComponent) {
  const double roundoff = 0x1p-52;
  for (const State bad : {State{0.0, 1.0e-6}, State{1.0e-8, 1.0},
                          State{1.0e-8, 10.0 * roundoff}}) {
    atol[1] = bad[0];
    rtol[1] = bad[1];
    integrate(0.0, 1.0);
    EXPECT_EQ(ierr, ros_bad_tolerances);
    EXPECT_EQ(out.lines,
              with_report({{" AbsTol(", std::int32_t{2}, ") = ", bad[0]},
                           {" RelTol(", std::int32_t{2}, ") = ", bad[1]}},
                          ros_bad_tolerances, 0.0));
  }
  rtol[1] = std::nan("");
  integrate(0.0, 1.0);
  EXPECT_EQ(ierr, ros_bad_tolerances);
  // Scalar mode examines the first pair only.
  icntrl[at(2)] = 1;
  integrate(0.0, 1.0);
  EXPECT_EQ(ierr, ros_success);
}

TEST_F(Entry, NonPositiveControlsSelectTheDefaults) {
  icntrl.fill(-5);
  rcntrl.fill(-1.0);
  rcntrl[at(5)] = std::nan("");
  integrate(0.0, 2.0);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_TRUE(out.lines.empty());
  const RosenbrockSettings& s = ros.settings();
  EXPECT_EQ(ros.method().ros_name, "RODAS-3     ");
  EXPECT_FALSE(s.autonomous);
  EXPECT_TRUE(s.vectortol);
  EXPECT_EQ(s.max_no_steps, 100000);
  EXPECT_EQ(s.roundoff, 0x1p-52);
  EXPECT_EQ((std::array{s.hmin, s.hmax, s.hstart, s.facmin, s.facmax,
                        s.facrej, s.facsafe}),
            (std::array{0.0, 2.0, 1.0e-5, 0.2, 6.0, 0.1, 0.9}));
}

TEST_F(Entry, StepBoundsAreCappedAtTheSpanInEitherDirection) {
  rcntrl[at(2)] = 50.0;
  rcntrl[at(3)] = 40.0;
  integrate(10.0, 7.0);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_EQ(ros.settings().hmax, 3.0);
  EXPECT_EQ(ros.settings().hstart, 3.0);
  rcntrl = {};
  rcntrl[at(1)] = 2.0e-5;
  integrate(10.0, 7.0);
  EXPECT_EQ(ros.settings().hstart, 2.0e-5);  // max(hmin, 1e-5)
}

TEST_F(Entry, NegativeControlsReachingTheDriverAreRejected) {
  const std::array<std::string_view, 7> labels = {
      "User-selected Hmin: RCNTRL(1)=",   "User-selected Hmax: RCNTRL(2)=",
      "User-selected Hstart: RCNTRL(3)=", "User-selected FacMin: RCNTRL(4)=",
      "User-selected FacMax: RCNTRL(5)=", "User-selected FacRej: RCNTRL(6)=",
      "User-selected FacSafe: RCNTRL(7)="};
  for (int entry = 1; entry <= 7; ++entry) {
    rcntrl = {};
    rcntrl[at(entry)] = -0.25;
    drive();
    const int code = entry <= 3 ? ros_bad_step_bounds : ros_bad_factors;
    EXPECT_EQ(ierr, code);
    EXPECT_EQ(out.lines, with_report({{labels[at(entry)], -0.25}}, code, 1.5));
    EXPECT_EQ(istatus[0], -99);  // nothing written back
    EXPECT_EQ(var, (State{1.0, 2.0}));
  }
  rcntrl = {};
  icntrl[at(4)] = -3;
  drive();
  EXPECT_EQ(out.lines, with_report({{"User-selected max no. of steps: ICNTRL(4)=",
                                     std::int32_t{-3}}},
                                   ros_bad_max_steps, 1.5));
}

// A six-stage run leaves nothing behind for a following three-stage one.
TEST(Objects, MethodSwitchLeavesNoTrace) {
  Decay sys;
  sys.a = {-1.0, 0.5, 0.0, -3.0};
  const State tol{1.0e-6, 1.0e-6};
  const auto run = [&](Rosenbrock<Decay>& ros, int method) {
    IntControls icntrl{};
    icntrl[at(3)] = method;
    State y{1.0, 2.0};
    ros.integrate(sys, 0.0, 1.0, y.data(), tol.data(), tol.data(), &icntrl);
    return y;
  };
  Rosenbrock<Decay> used, fresh;
  run(used, 5);
  EXPECT_EQ(run(used, 2), run(fresh, 2));
}

// Objects share nothing: two threads at once give the results of one alone.
TEST(Objects, TwoThreadsIntegrateIndependently) {
  const CurvedStiff sys;
  const auto run = [&](int method) {
    const State tol{1.0e-9, 1.0e-9};
    Rosenbrock<CurvedStiff> ros;
    IntControls icntrl{};
    icntrl[at(3)] = method;
    State y{};
    for (int rep = 0; rep < 200; ++rep) {
      y = sys.exact(0.0);
      ros.integrate(sys, 0.0, 1.0, y.data(), tol.data(), tol.data(), &icntrl);
    }
    return y;
  };
  const State serial2 = run(2), serial5 = run(5);
  State parallel2{}, parallel5{};
  std::thread a([&] { parallel2 = run(2); });
  std::thread b([&] { parallel5 = run(5); });
  a.join();
  b.join();
  EXPECT_EQ(parallel2, serial2);
  EXPECT_EQ(parallel5, serial5);
}

}  // namespace
}  // namespace box::testing
