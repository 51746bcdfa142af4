#include "integrator/controls.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "common/one_based.hpp"
#include "integrator/kernels.hpp"

namespace box {

namespace {

constexpr std::array<std::string_view, 10> status_texts = {
    "Matrix is repeatedly singular                     ",  // -8
    "Step size too small                               ",  // -7
    "No of steps exceeds maximum bound                 ",  // -6
    "Improper tolerance values                         ",  // -5
    "FacMin/FacMax/FacRej must be positive             ",  // -4
    "Hmin/Hmax/Hstart must be positive                 ",  // -3
    "Selected Rosenbrock method not implemented        ",  // -2
    "Improper value for maximal no of steps            ",  // -1
    "                                                  ",  //  0
    "Success                                           ",  //  1
};
static_assert(std::all_of(status_texts.begin(), status_texts.end(),
                          [](std::string_view s) { return s.size() == 50; }));

// Labels of the seven real controls, in the order they are read.
constexpr std::array<std::string_view, 7> real_control_labels = {
    "User-selected Hmin: RCNTRL(1)=",    "User-selected Hmax: RCNTRL(2)=",
    "User-selected Hstart: RCNTRL(3)=",  "User-selected FacMin: RCNTRL(4)=",
    "User-selected FacMax: RCNTRL(5)=",  "User-selected FacRej: RCNTRL(6)=",
    "User-selected FacSafe: RCNTRL(7)=",
};

constexpr int default_method = 4;  // RODAS-3
constexpr std::int32_t default_max_no_steps = 100000;

}  // namespace

std::string_view ierr_names(int code) {
  if (code < -8 || code > 1) code = 0;
  return status_texts[static_cast<std::size_t>(code + 8)];
}

void RosenbrockControl::emit(std::initializer_list<LineItem> items) const {
  if (sink_) sink_(std::span<const LineItem>(items.begin(), items.size()));
}

void RosenbrockControl::report_error(int code, double t, double h,
                                     int& ierr) const {
  ierr = code;
  emit({"Forced exit from Rosenbrock due to the following error:"});
  emit({ierr_names(code)});
  emit({"T=", t, "and H=", h});
}

bool RosenbrockControl::configure(int nvar, double tstart, double tend,
                                  const double* abstol, const double* reltol,
                                  const RealControls& rcntrl,
                                  const IntControls& icntrl,
                                  const IntControls& istatus, int& ierr) {
  RosenbrockCounters& c = counters_;
  c.nfun = istatus[at(ifun)];
  c.njac = istatus[at(ijac)];
  c.nstp = istatus[at(istp)];
  c.nacc = istatus[at(iacc)];
  c.nrej = istatus[at(irej)];
  c.ndec = istatus[at(idec)];
  c.nsol = istatus[at(isol)];
  c.nsng = istatus[at(isng)];

  RosenbrockSettings s{};
  s.autonomous = icntrl[at(1)] != 0;
  s.vectortol = icntrl[at(2)] == 0;
  s.uplimtol = s.vectortol ? nvar : 1;

  const auto fail = [&](int code) {
    report_error(code, tstart, 0.0, ierr);
    return false;
  };

  const std::int32_t method = icntrl[at(3)];
  s.method_number = method == 0 ? default_method : method;
  if (rosenbrock_method(s.method_number) == nullptr) {
    emit({"User-selected Rosenbrock method: ICNTRL(3)=", method});
    return fail(ros_bad_method);
  }

  const std::int32_t max_steps = icntrl[at(4)];
  if (max_steps < 0) {
    emit({"User-selected max no. of steps: ICNTRL(4)=", max_steps});
    return fail(ros_bad_max_steps);
  }
  s.max_no_steps = max_steps == 0 ? default_max_no_steps : max_steps;

  s.roundoff = unit_roundoff('E', sink_);

  // The real controls: 0 selects the default, a positive value is taken, and
  // anything else (negative or not a number) is an error. Step sizes are
  // magnitudes and never exceed the span of the interval.
  const double span = std::abs(tend - tstart);
  const auto read = [&](int entry, double fallback, bool cap, double& out) {
    const double v = rcntrl[at(entry)];
    if (v == 0.0) {
      out = fallback;
    } else if (v > 0.0) {
      out = cap ? std::min(std::abs(v), span) : v;
    } else {
      emit({real_control_labels[at(entry)], v});
      return false;
    }
    return true;
  };
  if (!read(1, 0.0, false, s.hmin)) return fail(ros_bad_step_bounds);
  if (!read(2, span, true, s.hmax)) return fail(ros_bad_step_bounds);
  if (!read(3, std::max(s.hmin, 1.0e-5), true, s.hstart)) {
    return fail(ros_bad_step_bounds);
  }
  if (!read(4, 0.2, false, s.facmin) || !read(5, 6.0, false, s.facmax) ||
      !read(6, 0.1, false, s.facrej) || !read(7, 0.9, false, s.facsafe)) {
    return fail(ros_bad_factors);
  }

  // Each tolerance pair must have a positive absolute part and a relative
  // part strictly between 10 roundoff and 1 (a not-a-number fails as well).
  for (int i = 0; i < s.uplimtol; ++i) {
    if (!(abstol[i] > 0.0) || !(reltol[i] > 10.0 * s.roundoff) ||
        !(reltol[i] < 1.0)) {
      emit({" AbsTol(", i + 1, ") = ", abstol[i]});
      emit({" RelTol(", i + 1, ") = ", reltol[i]});
      return fail(ros_bad_tolerances);
    }
  }

  settings_ = s;
  method_ = *rosenbrock_method(s.method_number);
  return true;
}

void RosenbrockControl::report(double texit, double hexit,
                               RealControls& rstatus,
                               IntControls& istatus) const {
  const RosenbrockCounters& c = counters_;
  istatus[at(ifun)] = c.nfun;
  istatus[at(ijac)] = c.njac;
  istatus[at(istp)] = c.nstp;
  istatus[at(iacc)] = c.nacc;
  istatus[at(irej)] = c.nrej;
  istatus[at(idec)] = c.ndec;
  istatus[at(isol)] = c.nsol;
  istatus[at(isng)] = c.nsng;
  rstatus[at(itexit)] = texit;
  rstatus[at(ihexit)] = hexit;
}

}  // namespace box

namespace box {

IntControls IntegratorOptions::int_controls() const {
  IntControls c{};
  c[at(1)] = autonomous ? 1 : 0;
  c[at(2)] = 0;  // per-component tolerances (the scalars fill every component)
  c[at(3)] = method;
  c[at(4)] = max_steps;
  return c;
}

RealControls IntegratorOptions::real_controls() const {
  RealControls c{};
  c[at(1)] = hmin;
  c[at(2)] = hmax;
  c[at(3)] = hstart;
  c[at(4)] = facmin;
  c[at(5)] = facmax;
  c[at(6)] = facrej;
  c[at(7)] = facsafe;
  return c;
}

}  // namespace box
