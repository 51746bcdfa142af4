// The integrator entry: defaults and validation of the controls, the lines
// written for bad controls, status codes and status arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box::testing {
namespace {

using Line = std::vector<LineItem>;
using Decay = LinearSystem<2>;

constexpr double roundoff = 0x1p-52;

Decay decay() {
  Decay sys;
  sys.a = {-1.0, 0.5, 0.0, -3.0};
  return sys;
}

// The three lines of an error report.
std::vector<Line> report(int code, double t, double h) {
  return {{"Forced exit from Rosenbrock due to the following error:"},
          {ierr_names(code)},
          {"T=", t, "and H=", h}};
}

struct Entry : ::testing::Test {
  CapturedLines out;
  Rosenbrock<Decay> ros{out.sink()};
  Decay sys = decay();
  std::array<double, 2> var{1.0, 2.0};
  std::array<double, 2> atol{1.0e-8, 1.0e-8};
  std::array<double, 2> rtol{1.0e-6, 1.0e-6};
  IntControls icntrl{};
  RealControls rcntrl{};
  IntControls istatus{};
  RealControls rstatus{};
  int ierr = 0;

  void integrate(double tin, double tout) {
    istatus.fill(-99);
    rstatus.fill(-99.0);
    ros.racm_integrate(sys, tin, tout, var.data(), atol.data(), rtol.data(),
                       &icntrl, &rcntrl, &istatus, &rstatus, &ierr);
  }
};

TEST_F(Entry, EmptyIntervalTakesNoStep) {
  integrate(3.0, 3.0);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_EQ(istatus, IntControls{});
  EXPECT_EQ(rstatus[at(itexit)], 3.0);
  EXPECT_EQ(rstatus[at(ihexit)], 0.0);
  EXPECT_EQ(var, (std::array<double, 2>{1.0, 2.0}));
  EXPECT_TRUE(out.lines.empty());
}

TEST_F(Entry, SpanShorterThanRoundoffTakesNoStep) {
  integrate(0.0, 1.0e-16);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_EQ(istatus[at(istp)], 0);
  EXPECT_EQ(var, (std::array<double, 2>{1.0, 2.0}));
}

TEST_F(Entry, UnknownMethodIsReportedAndLeavesTheStateAlone) {
  icntrl[at(3)] = 7;
  integrate(2.5, 10.0);
  EXPECT_EQ(ierr, ros_bad_method);
  std::vector<Line> expected{
      {"User-selected Rosenbrock method: ICNTRL(3)=", std::int32_t{7}}};
  for (const Line& l : report(-2, 2.5, 0.0)) expected.push_back(l);
  EXPECT_EQ(out.lines, expected);
  EXPECT_EQ(var, (std::array<double, 2>{1.0, 2.0}));
  // The entry hands back its zeroed working arrays.
  EXPECT_EQ(istatus, IntControls{});
  EXPECT_EQ(rstatus, RealControls{});
}

TEST_F(Entry, BadToleranceNamesTheFirstOffendingComponent) {
  struct Case {
    double atol2, rtol2;
  };
  for (const Case c : {Case{0.0, 1.0e-6}, Case{-1.0, 1.0e-6},
                       Case{1.0e-8, 1.0}, Case{1.0e-8, 10.0 * roundoff},
                       Case{1.0e-8, std::nan("")}}) {
    out.lines.clear();
    atol[1] = c.atol2;
    rtol[1] = c.rtol2;
    integrate(0.0, 1.0);
    EXPECT_EQ(ierr, ros_bad_tolerances);
    ASSERT_EQ(out.lines.size(), 5u);
    EXPECT_EQ(out.lines[0], (Line{" AbsTol(", std::int32_t{2}, ") = ", c.atol2}));
    // Compare the relative tolerance line by its text items (NaN != NaN).
    EXPECT_EQ(std::get<std::string_view>(out.lines[1][0]), " RelTol(");
    EXPECT_EQ(std::get<std::int32_t>(out.lines[1][1]), 2);
    EXPECT_EQ(std::get<std::string_view>(out.lines[3][0]),
              ierr_names(ros_bad_tolerances));
    EXPECT_EQ(var, (std::array<double, 2>{1.0, 2.0}));
  }
  // Just above 10 roundoff is accepted.
  atol[1] = 1.0e-8;
  rtol[1] = std::nextafter(10.0 * roundoff, 1.0);
  integrate(0.0, 1.0e-3);
  EXPECT_EQ(ierr, ros_success);
}

TEST_F(Entry, ScalarToleranceReadsOnlyTheFirstPair) {
  icntrl[at(2)] = 1;
  atol[1] = 0.0;
  rtol[1] = 5.0;
  integrate(0.0, 1.0);
  EXPECT_EQ(ierr, ros_success);
  atol[0] = 0.0;
  integrate(0.0, 1.0);
  EXPECT_EQ(ierr, ros_bad_tolerances);
  EXPECT_EQ(out.lines[0], (Line{" AbsTol(", std::int32_t{1}, ") = ", 0.0}));
}

TEST_F(Entry, NonPositiveControlsSelectTheDefaults) {
  icntrl.fill(-5);
  rcntrl.fill(-1.0);
  rcntrl[at(5)] = std::nan("");
  integrate(0.0, 2.0);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_TRUE(out.lines.empty());
  const RosenbrockSettings& s = ros.settings();
  EXPECT_FALSE(s.autonomous);
  EXPECT_TRUE(s.vectortol);
  EXPECT_EQ(s.method_number, 4);
  EXPECT_EQ(ros.method().ros_name, "RODAS-3     ");
  EXPECT_EQ(s.max_no_steps, 100000);
  EXPECT_EQ(s.roundoff, roundoff);
  EXPECT_EQ(s.hmin, 0.0);
  EXPECT_EQ(s.hmax, 2.0);
  EXPECT_EQ(s.hstart, 1.0e-5);
  EXPECT_EQ(s.facmin, 0.2);
  EXPECT_EQ(s.facmax, 6.0);
  EXPECT_EQ(s.facrej, 0.1);
  EXPECT_EQ(s.facsafe, 0.9);
}

TEST_F(Entry, StepBoundsAreCappedAtTheSpanInEitherDirection) {
  rcntrl[at(2)] = 50.0;
  rcntrl[at(3)] = 40.0;
  integrate(10.0, 7.0);
  EXPECT_EQ(ierr, ros_success);
  EXPECT_EQ(ros.settings().hmax, 3.0);
  EXPECT_EQ(ros.settings().hstart, 3.0);
  rcntrl[at(1)] = 1.0e-9;
  rcntrl[at(2)] = 0.0;
  rcntrl[at(3)] = 0.0;
  integrate(10.0, 7.0);
  EXPECT_EQ(ros.settings().hmin, 1.0e-9);
  EXPECT_EQ(ros.settings().hmax, 3.0);
  EXPECT_EQ(ros.settings().hstart, 1.0e-5);  // max(hmin, 1e-5)
}

TEST_F(Entry, OptionalArgumentsMayBeLeftOut) {
  ros.racm_integrate(sys, 0.0, 1.0, var.data(), atol.data(), rtol.data());
  EXPECT_NEAR(var[1], 2.0 * std::exp(-3.0), 1.0e-5);
}

// Called directly, the driver sees negative controls and rejects them.
struct Direct : Entry {
  void run() {
    istatus.fill(-99);
    rstatus.fill(-99.0);
    ros.racm_rosenbrock(sys, var.data(), 1.5, 2.0, atol.data(), rtol.data(),
                        rcntrl, icntrl, rstatus, istatus, ierr);
  }
};

TEST_F(Direct, NegativeRealControlsAreRejectedWithTheirLabel) {
  const std::array<std::string_view, 7> labels = {
      "User-selected Hmin: RCNTRL(1)=",   "User-selected Hmax: RCNTRL(2)=",
      "User-selected Hstart: RCNTRL(3)=", "User-selected FacMin: RCNTRL(4)=",
      "User-selected FacMax: RCNTRL(5)=", "User-selected FacRej: RCNTRL(6)=",
      "User-selected FacSafe: RCNTRL(7)="};
  for (int entry = 1; entry <= 7; ++entry) {
    out.lines.clear();
    rcntrl = {};
    rcntrl[at(entry)] = -0.25;
    run();
    const int code = entry <= 3 ? ros_bad_step_bounds : ros_bad_factors;
    EXPECT_EQ(ierr, code);
    std::vector<Line> expected{{labels[at(entry)], -0.25}};
    for (const Line& l : report(code, 1.5, 0.0)) expected.push_back(l);
    EXPECT_EQ(out.lines, expected) << "entry " << entry;
    // Nothing was written back.
    EXPECT_EQ(istatus[0], -99);
    EXPECT_EQ(rstatus[0], -99.0);
    EXPECT_EQ(var, (std::array<double, 2>{1.0, 2.0}));
  }
}

TEST_F(Direct, NotANumberControlIsRejectedLikeANegativeOne) {
  rcntrl[at(4)] = std::nan("");
  run();
  EXPECT_EQ(ierr, ros_bad_factors);
}

TEST_F(Direct, NegativeStepBoundIsRejected) {
  icntrl[at(4)] = -3;
  run();
  EXPECT_EQ(ierr, ros_bad_max_steps);
  EXPECT_EQ(out.lines[0], (Line{"User-selected max no. of steps: ICNTRL(4)=",
                                std::int32_t{-3}}));
  EXPECT_EQ(out.lines.size(), 4u);
}

TEST_F(Direct, CountersContinueFromTheStatusArray) {
  Rosenbrock<Decay> fresh;
  IntControls fresh_status{};
  RealControls fresh_rstatus{};
  std::array<double, 2> y{1.0, 2.0};
  int fresh_ierr = 0;
  fresh.racm_rosenbrock(sys, y.data(), 1.5, 2.0, atol.data(), rtol.data(),
                        rcntrl, icntrl, fresh_rstatus, fresh_status,
                        fresh_ierr);
  IntControls start{};
  for (int k = 1; k <= 8; ++k) start[at(k)] = 1000 * k;
  istatus = start;
  ros.racm_rosenbrock(sys, var.data(), 1.5, 2.0, atol.data(), rtol.data(),
                      rcntrl, icntrl, rstatus, istatus, ierr);
  for (int k = 1; k <= 8; ++k) {
    EXPECT_EQ(istatus[at(k)], start[at(k)] + fresh_status[at(k)]);
  }
  EXPECT_EQ(var, y);
}

TEST(Status, TextsArePaddedToFiftyCharacters) {
  EXPECT_EQ(ierr_names(1).substr(0, 8), "Success ");
  EXPECT_EQ(ierr_names(-7).substr(0, 20), "Step size too small ");
  for (int code = -8; code <= 1; ++code) EXPECT_EQ(ierr_names(code).size(), 50u);
  EXPECT_EQ(ierr_names(0), std::string(50, ' '));
}

// Switching methods leaves nothing behind: a six-stage run followed by a
// three-stage one gives what a fresh object gives.
TEST(Objects, MethodSwitchLeavesNoTrace) {
  const Decay sys = decay();
  const std::array<double, 2> tol{1.0e-6, 1.0e-6};
  IntControls icntrl{};
  const auto run = [&](Rosenbrock<Decay>& ros, int method) {
    icntrl[at(3)] = method;
    std::array<double, 2> y{1.0, 2.0};
    ros.racm_integrate(sys, 0.0, 1.0, y.data(), tol.data(), tol.data(), &icntrl);
    return y;
  };
  Rosenbrock<Decay> used, fresh;
  run(used, 5);
  EXPECT_EQ(run(used, 2), run(fresh, 2));
}

// Objects share nothing: integrations on two threads at once give the
// results of one thread alone.
TEST(Objects, TwoThreadsIntegrateIndependently) {
  CurvedStiff sys;
  const std::array<double, 2> tol{1.0e-9, 1.0e-9};
  const auto run = [&](int method) {
    Rosenbrock<CurvedStiff> ros;
    IntControls icntrl{};
    icntrl[at(3)] = method;
    std::array<double, 2> y = sys.exact(0.0);
    for (int rep = 0; rep < 200; ++rep) {
      y = sys.exact(0.0);
      ros.racm_integrate(sys, 0.0, 1.0, y.data(), tol.data(), tol.data(),
                         &icntrl);
    }
    return y;
  };
  const auto serial2 = run(2), serial5 = run(5);
  std::array<double, 2> parallel2{}, parallel5{};
  std::thread a([&] { parallel2 = run(2); });
  std::thread b([&] { parallel5 = run(5); });
  a.join();
  b.join();
  EXPECT_EQ(parallel2, serial2);
  EXPECT_EQ(parallel5, serial5);
}

}  // namespace
}  // namespace box::testing
