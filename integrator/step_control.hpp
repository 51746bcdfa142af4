#pragma once
// The step-size controller of the Rosenbrock integrators, one box or lanes
// of boxes: the first step size, the checks before a step, the judgement of
// an attempt from its error norm and the size of the next attempt. Both
// step loops call these same routines in the same order, so that a lane
// takes exactly the decisions its box would take alone.
#include <algorithm>
#include <cmath>
#include <limits>

#include "integrator/controls.hpp"
#include "integrator/methods.hpp"

namespace box {

// Below this size the stage matrix's 1/(h*gamma) and the couplings c/h
// come within a few decades of overflow: no real integration gets there.
inline constexpr double smallest_step = 1.0e-280;

// The step size is not a number, too small to form the stage matrix, or
// too small to change t.
inline bool cannot_advance(double t, double h) {
  return !(h >= smallest_step) || t + 0.1 * h == t;
}

// The first trial step: hstart within hmax; one that rounding cannot tell
// from zero is replaced by 1e-5.
inline double first_step(const RosenbrockSettings& s) {
  const double h = std::min(s.hmax, s.hstart);
  return std::abs(h) <= 10.0 * s.roundoff ? 1.0e-5 : h;
}

// Before a new step at t with size h: 0 when it may be taken, else the
// status code that ends the integration (too many steps, a step too small).
inline int step_refused(const RosenbrockSettings& s, const RosenbrockCounters& c, double t,
                        double h) {
  if (c.nstp > s.max_no_steps) return ros_too_many_steps;
  if (cannot_advance(t, h) || h <= s.hmin) return ros_step_too_small;
  return 0;
}

// The error norm of an attempt from the sum (in ascending order) of its n
// squared scaled error components: their root mean square.
inline double error_norm(double sum_of_squares, double inverse_n) {
  return std::sqrt(sum_of_squares * inverse_n);
}

// The controller's memory of one integration: whether the last attempts
// were rejected.
class StepController {
 public:
  // The factor on h after an error norm err: facsafe / err^(1/elo), bounded
  // by facmin and facmax. A zero error asks for the largest growth without
  // dividing by zero; a not-a-number (or infinite) error for the strongest
  // reduction.
  static double factor(const RosenbrockSettings& s, const RosenbrockMethod& ros, double err) {
    if (err == 0.0) return s.facmax;
    if (!(err <= std::numeric_limits<double>::max())) return s.facmin;
    const double shrink = s.facsafe / std::pow(err, 1.0 / ros.ros_elo);
    return std::min(s.facmax, std::max(s.facmin, shrink));
  }

  // Judges an attempt of size h whose error norm is err, counting it in c:
  // true when it is accepted. `hnext` receives the size of the next step
  // (after an acceptance) or of the retry (after a rejection); the caller
  // advances with h itself before taking hnext, and after a rejection must
  // stop when cannot_advance(t, hnext).
  bool judge(const RosenbrockSettings& s, const RosenbrockMethod& ros, double err, double h,
             RosenbrockCounters& c, double& hnext) {
    double hnew = h * factor(s, ros, err);
    ++c.nstp;
    // An error that is not a finite number says the attempt produced no
    // usable state: it is never accepted, not even at hmin.
    const bool accept = std::isfinite(err) && (err <= 1.0 || h <= s.hmin);
    if (accept) {
      ++c.nacc;
      hnew = std::max(s.hmin, std::min(hnew, s.hmax));
      // Right after a rejection the controller's wish to grow is not
      // trusted: the error estimate has just proved too optimistic.
      if (rejectlasth_) hnew = std::min(hnew, h);
      rejectlasth_ = false;
      rejectmoreh_ = false;
      hnext = hnew;
      return true;
    }
    // Two rejections in a row show the controller's model of the error
    // failing; from the third on the step is cut by the fixed facrej.
    if (rejectmoreh_) hnew = h * s.facrej;
    rejectmoreh_ = rejectlasth_;
    rejectlasth_ = true;
    hnext = hnew;
    if (c.nacc >= 1) ++c.nrej;
    return false;
  }

 private:
  bool rejectlasth_ = false;
  bool rejectmoreh_ = false;
};

}  // namespace box
