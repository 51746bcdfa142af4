#pragma once
// Settings, counters, status codes and messages of the Rosenbrock integrator:
// everything about a run of the integrator that does not depend on the system
// it integrates.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "common/line_item.hpp"
#include "integrator/methods.hpp"

namespace box {

// Control and status arrays of the integrator entry, 20 entries each.
using IntControls = std::array<std::int32_t, 20>;
using RealControls = std::array<double, 20>;

// Entries of the integer status array (numbered from 1; use box::at).
inline constexpr int ifun = 1;  // right-hand-side evaluations
inline constexpr int ijac = 2;  // Jacobian evaluations
inline constexpr int istp = 3;  // steps attempted, accepted or rejected
inline constexpr int iacc = 4;  // accepted steps
inline constexpr int irej = 5;  // rejections once a step has been accepted
inline constexpr int idec = 6;  // LU decompositions
inline constexpr int isol = 7;  // linear solves
inline constexpr int isng = 8;  // singular decompositions
// Entries of the real status array.
inline constexpr int itexit = 1;  // time reached
inline constexpr int ihexit = 2;  // step size at the start of the last step

// Status codes.
inline constexpr int ros_success = 1;
inline constexpr int ros_bad_max_steps = -1;
inline constexpr int ros_bad_method = -2;
inline constexpr int ros_bad_step_bounds = -3;
inline constexpr int ros_bad_factors = -4;
inline constexpr int ros_bad_tolerances = -5;
inline constexpr int ros_too_many_steps = -6;
inline constexpr int ros_step_too_small = -7;
inline constexpr int ros_singular = -8;

// The 50-character, blank-padded text of status code -8..1 (0 is blank).
std::string_view ierr_names(int code);

// Settings of one integration, validated and defaulted from the controls.
struct RosenbrockSettings {
  bool autonomous = false;  // f has no explicit time dependence: no df/dt
  bool vectortol = true;    // per-component tolerances (else only entry 0)
  int uplimtol = 0;         // tolerance entries examined
  int method_number = 0;    // 1..5
  std::int32_t max_no_steps = 0;
  double roundoff = 0.0;
  double hmin = 0.0, hmax = 0.0, hstart = 0.0;
  double facmin = 0.0, facmax = 0.0, facrej = 0.0, facsafe = 0.0;
};

struct RosenbrockCounters {
  std::int32_t nfun = 0, njac = 0, nstp = 0, nacc = 0, nrej = 0, ndec = 0,
               nsol = 0, nsng = 0;
};

// Named options of an integration: every field at its default gives the
// integrator's own defaults. They are turned into the control arrays, the
// compatible positional form.
struct IntegratorOptions {
  int method = 2;             // 1 ROS-2, 2 ROS-3, 3 ROS-4, 4 RODAS-3, 5 RODAS-4
  double rtol = 1.0e-3;
  double atol = 1.0;
  // Per-component tolerances (n values each) instead of the scalars.
  const double* atol_vector = nullptr;
  const double* rtol_vector = nullptr;
  bool autonomous = false;    // f does not depend on t explicitly
  double hmin = 0.0;          // 0: no lower bound
  double hmax = 0.0;          // 0: the whole interval
  double hstart = 0.0;        // 0: the integrator's choice
  std::int32_t max_steps = 0; // 0: the integrator's limit
  double facmin = 0.0, facmax = 0.0, facrej = 0.0, facsafe = 0.0;  // 0: defaults

  IntControls int_controls() const;
  RealControls real_controls() const;
};

// The outcome of an integration.
struct [[nodiscard]] IntegrationResult {
  int status = 0;  // ros_success (1) or a negative code
  RosenbrockCounters counters{};
  double t_reached = 0.0;
  double h_last = 0.0;
  bool ok() const { return status == ros_success; }
};

// The part of the integrator that is independent of the system: it turns the
// control arrays into settings and a coefficient set, keeps the counters and
// writes the integrator's lines to its sink.
class RosenbrockControl {
 public:
  explicit RosenbrockControl(LineSink sink = {}) : sink_(std::move(sink)) {}

  const RosenbrockSettings& settings() const noexcept { return settings_; }
  const RosenbrockMethod& method() const noexcept { return method_; }
  const RosenbrockCounters& counters() const noexcept { return counters_; }

  // Sets ierr = code and writes the three-line error report with the time
  // and step size at which the integration stopped.
  void report_error(int code, double t, double h, int& ierr) const;

 protected:
  // Starts the counters from istatus, validates and defaults the controls for
  // a system of nvar unknowns and selects the coefficient set. On a bad
  // control it writes the offending value and the error report, sets ierr
  // and returns false.
  bool configure(int nvar, double tstart, double tend, const double* abstol,
                 const double* reltol, const RealControls& rcntrl,
                 const IntControls& icntrl, const IntControls& istatus,
                 int& ierr);

  // Copies the counters, the time reached and hexit into the status arrays.
  void report(double texit, double hexit, RealControls& rstatus,
              IntControls& istatus) const;

  void emit(std::initializer_list<LineItem> items) const;

  LineSink sink_;
  RosenbrockSettings settings_{};
  RosenbrockMethod method_{};
  RosenbrockCounters counters_{};
};

}  // namespace box
