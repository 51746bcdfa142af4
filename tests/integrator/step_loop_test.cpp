// The step loop: step-size control after rejections, the counters, the
// singular-matrix retry, the end of the interval, backward integration and
// the guards against a zero or not-a-number error.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "tests/integrator/test_systems.hpp"

namespace box::testing {
namespace {

using Line = std::vector<LineItem>;
using Scalar = Recording<LinearSystem<1>>;

constexpr int ros2 = 1, ros3 = 2, rodas3 = 4;

// y' = lambda y, recording the times at which f is evaluated.
Scalar scalar(double lambda) {
  Scalar sys;
  sys.a = {lambda};
  return sys;
}

// Runs a scalar problem through the entry and keeps what came back.
template <class S>
struct Integration {
  CapturedLines out;
  Rosenbrock<S> ros{out.sink()};
  IntControls icntrl{};
  RealControls rcntrl{};
  IntControls istatus{};
  RealControls rstatus{};
  int ierr = 0;
  double atol = 1.0e-3, rtol = 1.0e-2;

  Integration(int method, bool autonomous) {
    icntrl[at(1)] = autonomous ? 1 : 0;
    icntrl[at(3)] = method;
  }
  double integrate(const S& sys, double y, double tin, double tout) {
    ros.integrate(sys, tin, tout, &y, &atol, &rtol, &icntrl, &rcntrl,
                  &istatus, &rstatus, &ierr);
    return y;
  }
  int count(int entry) const { return istatus[at(entry)]; }
};

// Traps division by zero, overflow and invalid operations for its lifetime,
// as the model run does.
struct FloatingPointTraps {
  explicit FloatingPointTraps(int excepts) : excepts_(excepts) {
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(excepts_);
  }
  ~FloatingPointTraps() { fedisableexcept(excepts_); }
  int excepts_;
};

// ROS-2 evaluates f at t + h in its second stage, so from t = 0 the recorded
// times are 0 (the step start) followed by the size of each attempt.
TEST(StepControl, ThirdConsecutiveRejectionUsesFacrej) {
  const Scalar sys = scalar(1.0);
  Integration<Scalar> run(ros2, true);
  run.rcntrl[at(3)] = 1.0;   // hstart
  run.rcntrl[at(4)] = 0.5;   // facmin: the controller's cut is clamped here
  run.rcntrl[at(6)] = 0.1;   // facrej
  run.integrate(sys, 1.0, 0.0, 2.0);
  ASSERT_EQ(run.ierr, ros_success);
  const std::vector<double>& t = sys.times;
  ASSERT_GE(t.size(), 7u);
  EXPECT_EQ(t[0], 0.0);
  EXPECT_EQ(t[1], 1.0);
  EXPECT_EQ(t[2], 1.0 * 0.5);         // first rejection: controller
  EXPECT_EQ(t[3], 1.0 * 0.5 * 0.5);   // second rejection: controller
  const double accepted = 0.25 * 0.1;  // third rejection: facrej
  EXPECT_EQ(t[4], accepted);
  // The next step starts at the accepted time and may not grow, although
  // the steps after it do.
  EXPECT_EQ(t[5], accepted);
  EXPECT_EQ(t[6], accepted + accepted);
  EXPECT_GT(t[8] - t[7], accepted);
  // The three rejections came before any step was accepted.
  EXPECT_EQ(run.count(irej), run.count(istp) - run.count(iacc) - 3);
}

// One attempt of a method on y' = lambda y (autonomous), worked out in
// scalars: each stage is k_i = [lambda (y + sum_j a_ij k_j) + sum_j c_ij/h
// k_j] / (1/(h gamma_1) - lambda). Returns the new state and the error
// estimate sum_j e_j k_j.
std::pair<double, double> scalar_attempt(const RosenbrockMethod& m, double lambda, double y,
                                         double h) {
  std::array<double, max_stages> k{};
  double f = lambda * y;
  for (int i = 0; i < m.ros_s; ++i) {
    if (i > 0 && m.ros_newf[i]) {
      double yi = y;
      for (int j = 0; j < i; ++j) yi += m.ros_a[lower_triangle(i, j)] * k[j];
      f = lambda * yi;
    }
    double rhs = f;
    for (int j = 0; j < i; ++j) rhs += m.ros_c[lower_triangle(i, j)] / h * k[j];
    k[i] = rhs / (1.0 / (h * m.ros_gamma[0]) - lambda);
  }
  double ynew = y, yerr = 0.0;
  for (int j = 0; j < m.ros_s; ++j) {
    ynew += m.ros_m[j] * k[j];
    yerr += m.ros_e[j] * k[j];
  }
  return {ynew, yerr};
}

// The controller after one attempt with a known error: the next step is
// h * 0.9 / err^(1/q), q the order of the error estimate (2 for ROS-2, 3
// for ROS-3 and RODAS-3, 4 for ROS-4 and RODAS-4), whether the attempt was
// accepted (err <= 1) or rejected. The next step's size shows in the time
// of its first fresh right-hand side.
TEST(StepControl, NextStepFromAKnownError) {
  const double order[5] = {2.0, 3.0, 4.0, 3.0, 4.0};
  const double lambda = -1.0, y0 = 1.0, tol = 1.0e-6;
  for (int method = 1; method <= 5; ++method) {
    const RosenbrockMethod& m = *rosenbrock_method(method);
    int evaluations = 1, first_fresh = 0;  // right-hand sides per attempt
    for (int i = m.ros_s - 1; i > 0; --i) {
      if (m.ros_newf[i]) {
        ++evaluations;
        first_fresh = i;
      }
    }
    for (const bool accept : {true, false}) {
      // A first step whose error lies where the controller's factor is not
      // clamped: between (0.9/6)^q and 1 to accept, 1 and (0.9/0.2)^q to reject.
      double h0 = 1.0, err = 0.0;
      for (; h0 > 1e-6; h0 *= 0.8) {
        const auto [ynew, yerr] = scalar_attempt(m, lambda, y0, h0);
        err = std::fabs(yerr) / (tol + tol * std::max(std::fabs(y0), std::fabs(ynew)));
        if (accept ? err <= 1.0 && err > std::pow(0.15, order[method - 1])
                   : err > 1.0 && err < std::pow(4.5, order[method - 1]))
          break;
      }
      ASSERT_GT(h0, 1e-6) << "method " << method;
      const double h1 = h0 * 0.9 / std::pow(err, 1.0 / order[method - 1]);
      Scalar sys = scalar(lambda);
      Integration<Scalar> run(method, true);
      run.atol = run.rtol = tol;
      run.rcntrl[at(3)] = h0;
      run.integrate(sys, y0, 0.0, 10.0);
      ASSERT_GT(sys.times.size(), static_cast<std::size_t>(evaluations + 1));
      // Accepted: the second step starts at h0; rejected: the retry at 0.
      const double start = accept ? h0 : 0.0;
      const std::size_t next = static_cast<std::size_t>(accept ? evaluations + 1 : evaluations);
      if (accept) {
        EXPECT_EQ(sys.times[static_cast<std::size_t>(evaluations)], h0);
      }
      EXPECT_NEAR((sys.times[next] - start) / m.ros_alpha[first_fresh], h1, 1e-12 * h1)
          << "method " << method << (accept ? ", accepted" : ", rejected") << " with error "
          << err;
    }
  }
}

// The embedded estimate of each set is the difference of two solutions
// whose orders differ by one, so it shrinks as h^q: halving the step
// divides it by 2^q. A wrong error weight leaves the new state alone (the
// order tests pass) but breaks this.
TEST(StepControl, ErrorEstimateShrinksWithTheControllersOrder) {
  const double order[5] = {2.0, 3.0, 4.0, 3.0, 4.0};
  for (int method = 1; method <= 5; ++method) {
    const RosenbrockMethod& m = *rosenbrock_method(method);
    const double coarse = scalar_attempt(m, -1.0, 1.0, 0.02).second;
    const double fine = scalar_attempt(m, -1.0, 1.0, 0.01).second;
    EXPECT_NEAR(std::log2(coarse / fine), order[method - 1], 0.1) << "method " << method;
  }
}

// y' jumps from 0 to 1 at t = 1: the growing steps run into the jump and
// are rejected there, long after the first accepted step.
struct Switch : LinearSystem<1> {
  void fun(double t, const double*, double* f) const {
    f[0] = t < 1.0 ? 0.0 : 1.0;
  }
};

TEST(StepControl, RejectionsAfterTheFirstAcceptedStepAreCounted) {
  Switch sys;
  Integration<Switch> run(ros2, true);
  run.atol = 1.0e-6;
  const double y = run.integrate(sys, 0.0, 0.0, 2.0);
  ASSERT_EQ(run.ierr, ros_success);
  EXPECT_GE(run.count(irej), 1);
  EXPECT_EQ(run.count(irej), run.count(istp) - run.count(iacc));
  EXPECT_NEAR(y, 1.0, 1.0e-3);
}

// The first step is min(hmax, hstart), or 1e-5 when that is at or below
// 10 roundoff; either is cut to the span.
TEST(StepControl, FirstStepFromHmax) {
  for (const double hmax : {1.0e-7, 1.0e-15}) {
    const Scalar sys = scalar(-1.0);
    Integration<Scalar> run(ros2, true);
    run.rcntrl[at(2)] = hmax;
    run.integrate(sys, 1.0, 0.0, 1.0e-6);
    EXPECT_EQ(run.rstatus[at(ihexit)], hmax == 1.0e-7 ? 1.0e-7 : 1.0e-5);
    EXPECT_EQ(sys.times[1], hmax == 1.0e-7 ? 1.0e-7 : 1.0e-6);
  }
}

TEST(StepControl, HexitIsTheStepBeforeTheLastCut) {
  const Scalar sys = scalar(-1.0);
  Integration<Scalar> run(ros3, true);
  run.atol = 1.0e6;
  run.rtol = 0.5;
  run.rcntrl[at(2)] = 0.3;
  run.rcntrl[at(3)] = 0.3;
  run.integrate(sys, 1.0, 0.0, 1.0);
  EXPECT_EQ(run.ierr, ros_success);
  EXPECT_EQ(run.count(iacc), 4);
  EXPECT_EQ(run.rstatus[at(itexit)], 1.0);
  EXPECT_EQ(run.rstatus[at(ihexit)], 0.3);
}

TEST(StepControl, TooManyStepsStopsAtTheLastAcceptedState) {
  const Scalar sys = scalar(-1.0);
  Integration<Scalar> run(ros3, true);
  run.icntrl[at(4)] = 3;
  run.rcntrl[at(2)] = 0.125;
  run.rcntrl[at(3)] = 0.125;
  const double y = run.integrate(sys, 1.0, 0.0, 1.0);
  EXPECT_EQ(run.ierr, ros_too_many_steps);
  EXPECT_EQ(run.count(istp), 4);  // tested before each step, not each attempt
  EXPECT_EQ(run.rstatus[at(itexit)], 0.5);
  EXPECT_NEAR(y, std::exp(-0.5), 1.0e-3);
  ASSERT_EQ(run.out.lines.size(), 3u);
  EXPECT_EQ(std::get<std::string_view>(run.out.lines[1][0]),
            ierr_names(ros_too_many_steps));
  EXPECT_EQ(run.out.lines[2][1], LineItem{0.5});
}

// A step cut to hmin is accepted whatever its error, and the next step then
// stops the integration.
TEST(StepControl, StepAtHminIsAcceptedAndEndsTheRun) {
  const Scalar sys = scalar(1.0);
  Integration<Scalar> run(ros2, true);
  run.rcntrl[at(1)] = 0.6;   // hmin
  run.rcntrl[at(3)] = 1.0;   // hstart
  run.atol = run.rtol = 1.0e-8;
  run.integrate(sys, 1.0, 0.0, 2.0);
  EXPECT_EQ(run.ierr, ros_step_too_small);
  EXPECT_EQ(run.count(iacc), 1);
  EXPECT_EQ(run.count(istp), 2);
  EXPECT_EQ(run.rstatus[at(itexit)], 0.2);  // 1.0 * facmin
}

TEST(Counters, AutonomousModeSkipsTheTimeDerivative) {
  const Scalar sys = scalar(-2.0);
  Integration<Scalar> with_dfdt(rodas3, false), without(rodas3, true);
  const double y1 = with_dfdt.integrate(sys, 1.0, 0.0, 3.0);
  const double y2 = without.integrate(sys, 1.0, 0.0, 3.0);
  // f does not depend on t, so df/dt is exactly 0 and the steps coincide.
  EXPECT_EQ(y1, y2);
  EXPECT_EQ(with_dfdt.count(istp), without.count(istp));
  EXPECT_EQ(with_dfdt.count(ifun) - without.count(ifun), without.count(iacc));
  EXPECT_EQ(with_dfdt.count(ijac), without.count(iacc));
  // One decomposition per attempt and one solve per stage.
  EXPECT_EQ(without.count(idec), without.count(istp));
  EXPECT_EQ(without.count(isol), 4 * without.count(istp));
}

// y' = 4y with RODAS-3 (gamma_1 = 1/2) and a first step of 1/2: the stage
// matrix 1/(h gamma_1) - 4 is exactly singular. Half the step mends it.
TEST(SingularMatrix, RetryWithHalfTheStepContinues) {
  const Scalar sys = scalar(4.0);
  Integration<Scalar> run(rodas3, true);
  run.rcntrl[at(3)] = 0.5;
  run.atol = 1.0;
  run.rtol = 0.5;
  const double y = run.integrate(sys, 1.0, 0.0, 0.5);
  EXPECT_EQ(run.ierr, ros_success);
  ASSERT_GE(run.out.lines.size(), 1u);
  EXPECT_EQ(run.out.lines[0],
            (Line{"Warning: LU Decomposition returned ising = ", std::int32_t{1}}));
  EXPECT_EQ(run.count(isng), 1);
  EXPECT_EQ(run.count(idec), run.count(istp) + 1);
  // RODAS-3 evaluates its third stage at t + h: the step went on with 1/4.
  EXPECT_EQ(sys.times[1], 0.25);
  EXPECT_NEAR(y, std::exp(2.0), 0.5);
}

// A system whose factorisation always fails at row 2.
struct AlwaysSingular : LinearSystem<2> {
  static int decomp(double*) { return 2; }
};

TEST(SingularMatrix, SixFailuresInARowEndTheIntegration) {
  AlwaysSingular sys;
  sys.a = {-1.0, 0.0, 0.0, -1.0};
  Integration<AlwaysSingular> run(ros3, true);
  run.rcntrl[at(3)] = 0.64;
  std::array<double, 2> y{1.0, 3.0}, tol{1.0e-3, 1.0e-3};
  run.ros.integrate(sys, 0.25, 10.0, y.data(), tol.data(), tol.data(),
                    &run.icntrl, &run.rcntrl, &run.istatus, &run.rstatus,
                    &run.ierr);
  EXPECT_EQ(run.ierr, ros_singular);
  std::vector<Line> expected(
      6, Line{"Warning: LU Decomposition returned ising = ", std::int32_t{2}});
  expected.push_back({"Forced exit from Rosenbrock due to the following error:"});
  expected.push_back({ierr_names(ros_singular)});
  expected.push_back({"T=", 0.25, "and H=", 0.64 / 32});
  EXPECT_EQ(run.out.lines, expected);
  EXPECT_EQ(run.count(idec), 6);
  EXPECT_EQ(run.count(isng), 6);
  EXPECT_EQ(run.count(istp), 0);
  EXPECT_EQ(y, (std::array<double, 2>{1.0, 3.0}));
  EXPECT_EQ(run.rstatus[at(itexit)], 0.25);
}

// Followed backwards, y' = -(y - t^2) + 2t still has the solution t^2: the
// direction enters the stage times, the couplings and the df/dt terms.
TEST(Backward, TimeDependentProblemIntegratedBackwards) {
  const Recording<QuadraticForcing> sys;
  Integration<Recording<QuadraticForcing>> run(rodas3, false);
  run.atol = 1.0e-10;
  run.rtol = 1.0e-8;
  const double y = run.integrate(sys, 4.0, 2.0, 0.5);
  EXPECT_EQ(run.ierr, ros_success);
  EXPECT_EQ(run.rstatus[at(itexit)], 0.5);
  EXPECT_NEAR(y, 0.25, 1.0e-7);
  for (double t : sys.times) {
    EXPECT_LE(t, 2.0 + 1.0e-7);  // the time-derivative probe lies just above
    EXPECT_GE(t, 0.5);
  }
}

TEST(ErrorNorm, RootMeanSquareOfScaledComponents) {
  using Ros = Rosenbrock<LinearSystem<2>>;
  const double y[2] = {1.0, -2.0}, ynew[2] = {3.0, 1.0}, yerr[2] = {0.5, 1.0};
  const double atol[2] = {1.0, 2.0}, rtol[2] = {0.1, 0.5};
  // Scales 1 + 0.1*3 and 2 + 0.5*2.
  const double q1 = 0.5 / 1.3, q2 = 1.0 / 3.0;
  EXPECT_DOUBLE_EQ(Ros::scaled_error_norm(y, ynew, yerr, atol, rtol, true),
                   std::sqrt((q1 * q1 + q2 * q2) * 0.5));
  // Scalar mode: 1 + 0.1*3 and 1 + 0.1*2.
  const double s1 = 0.5 / 1.3, s2 = 1.0 / 1.2;
  EXPECT_DOUBLE_EQ(Ros::scaled_error_norm(y, ynew, yerr, atol, rtol, false),
                   std::sqrt((s1 * s1 + s2 * s2) * 0.5));
  const double zero[2] = {0.0, 0.0};
  EXPECT_EQ(Ros::scaled_error_norm(y, ynew, zero, atol, rtol, true), 0.0);
}

// With f = 0 the error estimate is exactly 0: the step grows by facmax each
// time, and nothing divides by zero (the run traps that).
TEST(Guards, ZeroErrorGrowsByFacmax) {
  const Scalar sys = scalar(0.0);
  Integration<Scalar> run(ros2, true);
  double y = 0.0;
  {
    FloatingPointTraps traps(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    y = run.integrate(sys, 7.0, 0.0, 1.0);
  }
  EXPECT_EQ(run.ierr, ros_success);
  EXPECT_EQ(y, 7.0);
  EXPECT_EQ(run.count(iacc), run.count(istp));
  // Stage-2 times t + h of the first steps: h = 1e-5, 6e-5, 3.6e-4.
  EXPECT_EQ(sys.times[1], 1.0e-5);
  EXPECT_NEAR(sys.times[3] - sys.times[2], 6.0e-5, 1.0e-18);
  EXPECT_NEAR(sys.times[5] - sys.times[4], 3.6e-4, 1.0e-17);
}

// f is not a number beyond t = 0.1. A step whose error is not a number is
// rejected even when it has come down to hmin.
struct PoisonedAfter : LinearSystem<1> {
  double limit = 0.1;
  void fun(double t, const double* y, double* f) const {
    f[0] = t > limit ? std::numeric_limits<double>::quiet_NaN() : -y[0];
  }
};

TEST(Guards, NotANumberErrorIsNeverAccepted) {
  PoisonedAfter sys;
  sys.a = {-1.0};
  Integration<PoisonedAfter> run(ros2, true);
  run.rcntrl[at(1)] = 0.6;  // hmin
  run.rcntrl[at(3)] = 1.0;
  double y = 0.0;
  {
    FloatingPointTraps traps(FE_DIVBYZERO | FE_OVERFLOW);
    y = run.integrate(sys, 1.0, 0.0, 2.0);
  }
  // h = 1 (f at 1: rejected), 0.2 (f at 0.2, at or below hmin, still
  // rejected), 0.04 (accepted); then the step at hmin ends the run.
  EXPECT_EQ(run.ierr, ros_step_too_small);
  EXPECT_EQ(run.count(istp), 3);
  EXPECT_EQ(run.count(iacc), 1);
  EXPECT_EQ(run.rstatus[at(itexit)], 1.0 * 0.2 * 0.2);
  EXPECT_TRUE(std::isfinite(y));
  EXPECT_NEAR(y, std::exp(-0.04), 1.0e-3);
}

TEST(Guards, RightHandSideThatIsNeverANumberEndsCleanly) {
  PoisonedAfter sys;
  sys.a = {-1.0};
  sys.limit = -1.0;
  Integration<PoisonedAfter> run(ros3, true);
  double y = 0.0;
  {
    FloatingPointTraps traps(FE_DIVBYZERO | FE_OVERFLOW);
    y = run.integrate(sys, 1.0, 0.0, 1.0);
  }
  EXPECT_EQ(run.ierr, ros_step_too_small);
  EXPECT_EQ(run.count(iacc), 0);
  EXPECT_EQ(y, 1.0);
  EXPECT_EQ(run.rstatus[at(itexit)], 0.0);
}

TEST(Guards, NotANumberEndOfIntervalEndsCleanly) {
  const Scalar sys = scalar(-1.0);
  Integration<Scalar> run(ros3, true);
  const double y = run.integrate(sys, 1.0, 0.0, std::nan(""));
  EXPECT_EQ(run.ierr, ros_step_too_small);
  EXPECT_EQ(y, 1.0);
  EXPECT_EQ(run.count(istp), 0);
}

// A stiff chemical system at its published reference state at t = 40: every
// method gets there at tight tolerances and conserves the total (the stages
// are combinations of f and J, whose columns sum to zero).
TEST(StiffChemistry, RobertsonReachesTheReferenceState) {
  const Robertson sys;
  for (int method = 1; method <= 5; ++method) {
    Rosenbrock<Robertson> ros;
    IntControls icntrl{};
    icntrl[at(3)] = method;
    icntrl[at(1)] = 1;
    const std::array<double, 3> atol{1.0e-12, 1.0e-16, 1.0e-12};
    const std::array<double, 3> rtol{1.0e-8, 1.0e-8, 1.0e-8};
    std::array<double, 3> y{1.0, 0.0, 0.0};
    int ierr = 0;
    ros.integrate(sys, 0.0, 40.0, y.data(), atol.data(), rtol.data(),
                  &icntrl, nullptr, nullptr, nullptr, &ierr);
    EXPECT_EQ(ierr, ros_success);
    EXPECT_NEAR(y[0], 0.7158270687193685, 1.0e-7) << "method " << method;
    EXPECT_NEAR(y[1], 9.185534764529798e-06, 1.0e-12) << "method " << method;
    EXPECT_NEAR(y[2], 0.2841637457458885, 1.0e-7) << "method " << method;
    EXPECT_NEAR(y[0] + y[1] + y[2], 1.0, 1.0e-12);
  }
}

}  // namespace
}  // namespace box::testing
