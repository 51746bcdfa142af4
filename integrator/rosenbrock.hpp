#pragma once
// Embedded Rosenbrock integrator for stiff systems dy/dt = f(t, y), written
// once for any system that can evaluate its right-hand side and Jacobian,
// factorise a matrix stored in its own sparse layout and solve with the
// factors. Instantiated for a fixed-pattern system the inner work is that
// system's own straight-line code.
//
// A system states its size either at compile time (static constants n and
// nnz: the stage storage is then arrays of that size inside the object) or
// at run time (members n() and nnz(), for a mechanism read from a file: the
// storage is then vectors, sized on the first integration and again only
// when a system of another size comes along). Both take the same step loop.
//
// One object holds the settings, the selected coefficient set, the counters
// and all stage storage of an integration; there is no global mutable state,
// so each thread or air parcel can have its own object.
#include <algorithm>
#include <array>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/line_item.hpp"
#include "common/one_based.hpp"
#include "integrator/controls.hpp"
#include "integrator/kernels.hpp"
#include "integrator/methods.hpp"
#include "integrator/process_integrals.hpp"
#include "integrator/step_control.hpp"

namespace box {

// A system whose size n and number of stored matrix entries nnz are
// compile-time constants.
template <class S>
concept CompileTimeSize = requires {
  requires S::n > 0;
  requires S::nnz >= S::n;
};

// A system that gives its size n() and its number of stored matrix entries
// nnz() (at least n()) only when it runs.
template <class S>
concept RunTimeSize = requires(const S& s) {
  { s.n() } -> std::convertible_to<int>;
  { s.nnz() } -> std::convertible_to<int>;
};

// What the integrator needs of a system: its size, the number of stored
// entries of its (sparse) matrix layout, f, the Jacobian in that layout, an
// in-place LU factorisation (0 = success, k >= 1 = first singular row), the
// solve with those factors, and where row i's diagonal is stored (0-based).
template <class S>
concept RosenbrockSystem =
    (CompileTimeSize<S> || RunTimeSize<S>) &&
    requires(const S& s, double t, const double* y, double* out, double* a,
             const double* lu, int i) {
      s.fun(t, y, out);
      s.jac(t, y, a);
      { s.decomp(a) } -> std::same_as<int>;
      s.solve(lu, out);
      { s.diag(i) } -> std::convertible_to<std::size_t>;
    };

// A system that can factorise its stage matrix 1/(h gamma) I - J while
// forming it from J, with the values of forming it first and calling decomp.
template <class S>
concept ShiftedDecomposition = requires(const S& s, const double* jac, double shift, double* lu) {
  { s.decomp_shifted(jac, shift, lu) } -> std::same_as<int>;
};

namespace detail {

// Allocates on a cache line, so that the wide vector loops over the stage
// storage never split a load across two lines.
template <class T>
struct CacheLineAllocator {
  using value_type = T;
  static constexpr std::align_val_t line{64};
  CacheLineAllocator() = default;
  template <class U>
  CacheLineAllocator(const CacheLineAllocator<U>&) noexcept {}
  T* allocate(std::size_t count) { return static_cast<T*>(::operator new(count * sizeof(T), line)); }
  void deallocate(T* p, std::size_t) noexcept { ::operator delete(p, line); }
  template <class U>
  bool operator==(const CacheLineAllocator<U>&) const noexcept { return true; }
};

// `size` doubles of stage storage: an array inside the integrator when the
// size is known at compile time, a vector sized at run time when it is 0.
template <int size>
struct StageBuffer {
  alignas(64) std::array<double, static_cast<std::size_t>(size)> values{};
  double* data() noexcept { return values.data(); }
  const double* data() const noexcept { return values.data(); }
};
template <>
struct StageBuffer<0> {
  std::vector<double, CacheLineAllocator<double>> values;
  double* data() noexcept { return values.data(); }
  const double* data() const noexcept { return values.data(); }
  void resize(int size) { values.assign(static_cast<std::size_t>(size), 0.0); }
};

template <class S>
constexpr int compile_time_n() {
  if constexpr (CompileTimeSize<S>) return S::n; else return 0;
}
template <class S>
constexpr int compile_time_nnz() {
  if constexpr (CompileTimeSize<S>) return S::nnz; else return 0;
}

}  // namespace detail

template <RosenbrockSystem S>
class Rosenbrock : public RosenbrockControl {
 public:
  // The system's sizes when they are compile-time constants; 0 for a
  // system sized at run time.
  static constexpr int n = detail::compile_time_n<S>();
  static constexpr int nnz = detail::compile_time_nnz<S>();
  static constexpr bool sized_at_run_time = n == 0;

  // Integrator lines (validation messages, error reports, singular-matrix
  // warnings) go to `sink`; without one they are dropped.
  explicit Rosenbrock(LineSink sink = {}) : RosenbrockControl(std::move(sink)) {}

  // The number of unknowns of `sys`.
  static int size_of([[maybe_unused]] const S& sys) {
    if constexpr (sized_at_run_time) return static_cast<int>(sys.n()); else return n;
  }

  // Integrates `var` (n values, updated in place) from tin to tout; tout may
  // lie before tin. abstol and rtol hold n values (only the first is read in
  // scalar-tolerance mode). Every optional argument may be null. Only the
  // positive control entries are taken; zero, negative and not-a-number
  // entries select the defaults. The status arrays receive the counters,
  // the time reached and hexit; ierr_u the status code (1 = success).
  // With `processes` (only for a ProcessSystem), the integrals of the
  // process rates over the accepted steps are added to it (see
  // integrator/process_integrals.hpp); the species are computed exactly as
  // without it.
  void integrate(const S& sys, double tin, double tout, double* var,
                 const double* atol, const double* rtol,
                 const IntControls* icntrl_u = nullptr,
                 const RealControls* rcntrl_u = nullptr,
                 IntControls* istatus_u = nullptr,
                 RealControls* rstatus_u = nullptr,
                 int* ierr_u = nullptr,
                 ProcessIntegrals* processes = nullptr) {
    IntControls icntrl{};
    RealControls rcntrl{};
    IntControls istatus{};
    RealControls rstatus{};
    if (icntrl_u != nullptr) {
      for (std::size_t i = 0; i < icntrl.size(); ++i) {
        if ((*icntrl_u)[i] > 0) icntrl[i] = (*icntrl_u)[i];
      }
    }
    if (rcntrl_u != nullptr) {
      for (std::size_t i = 0; i < rcntrl.size(); ++i) {
        if ((*rcntrl_u)[i] > 0.0) rcntrl[i] = (*rcntrl_u)[i];
      }
    }
    int ierr = 0;
    configure_and_integrate(sys, var, tin, tout, atol, rtol, rcntrl, icntrl, rstatus,
                            istatus, ierr, processes);
    if (istatus_u != nullptr) *istatus_u = istatus;
    if (rstatus_u != nullptr) *rstatus_u = rstatus;
    if (ierr_u != nullptr) *ierr_u = ierr;
  }

  // The same integration with named options: the tolerances as scalars
  // (or per component), the method and step bounds by name, and the
  // outcome returned instead of written through pointers.
  // With `processes` (a ProcessSystem only), the process integrals are
  // added to it as the positional integrate() adds them.
  [[nodiscard]] IntegrationResult integrate(const S& sys, double tin, double tout, double* var,
                                            const IntegratorOptions& options,
                                            ProcessIntegrals* processes = nullptr) {
    size_storage(sys);
    std::array<double, n> atol_fixed;
    std::array<double, n> rtol_fixed;
    double* atol = atol_fixed.data();
    double* rtol = rtol_fixed.data();
    if constexpr (sized_at_run_time) {
      atol = atol_.data();
      rtol = rtol_.data();
    }
    std::fill_n(atol, size_of(sys), options.atol);
    std::fill_n(rtol, size_of(sys), options.rtol);
    const IntControls icntrl = options.int_controls();
    const RealControls rcntrl = options.real_controls();
    IntControls istatus{};
    RealControls rstatus{};
    IntegrationResult result;
    integrate(sys, tin, tout, var,
              options.atol_vector != nullptr ? options.atol_vector : atol,
              options.rtol_vector != nullptr ? options.rtol_vector : rtol, &icntrl,
              &rcntrl, &istatus, &rstatus, &result.status, processes);
    result.counters = counters_;
    result.t_reached = rstatus[at(itexit)];
    result.h_last = rstatus[at(ihexit)];
    return result;
  }

  // Validates the controls, selects the method and runs the step loop. The
  // counters start from istatus(1..8). On a bad control y, istatus and
  // rstatus are left untouched; after a failed integration y holds the last
  // accepted state and the status arrays what was done.
  void configure_and_integrate(const S& sys, double* y, double tstart, double tend,
                               const double* abstol, const double* reltol,
                               const RealControls& rcntrl, const IntControls& icntrl,
                               RealControls& rstatus, IntControls& istatus,
                               int& ierr, ProcessIntegrals* processes = nullptr) {
    if (!configure(size_of(sys), tstart, tend, abstol, reltol, rcntrl, icntrl, istatus,
                   ierr)) {
      return;
    }
    double texit = tstart;
    double hexit = 0.0;
    step_loop(sys, y, tstart, tend, texit, abstol, reltol, hexit,
              ierr, processes);
    report(texit, hexit, rstatus, istatus);
  }

  // The step loop with the current settings and coefficient set. t follows
  // the integration (it is the time reached even after an error); hexit is
  // the step size current at the start of the last step, before that step
  // was cut to end on tend. With `processes`, the process integrals of the
  // accepted steps are added to it.
  void step_loop(const S& sys, double* y, double tstart,
                 double tend, double& t, const double* abstol,
                 const double* reltol, double& hexit, int& ierr,
                 ProcessIntegrals* processes = nullptr) {
    size_storage(sys);
    const int n = dim();
    if constexpr (ProcessSystem<S>) {
      if (processes != nullptr) {
        processes->prepare(sys.nproc(), n);
        process_weights();
      }
    } else {
      processes = nullptr;  // a system without processes has none to integrate
    }
    const RosenbrockSettings& s = settings_;
    const RosenbrockMethod& ros = method_;
    RosenbrockCounters& c = counters_;

    t = tstart;
    hexit = 0.0;
    double h = first_step(s);
    const double direction = tend >= tstart ? 1.0 : -1.0;
    StepController controller;

    // An interval with a not-a-number end has no step size to offer.
    if (std::isnan(tstart) || std::isnan(tend)) {
      return report_error(ros_step_too_small, t, h, ierr);
    }

    // Run while at least roundoff (an absolute amount) remains.
    while (direction > 0.0 ? (t - tend) + s.roundoff <= 0.0
                           : (tend - t) + s.roundoff <= 0.0) {
      if (const int refused = step_refused(s, c, t, h)) {
        return report_error(refused, t, h, ierr);
      }
      hexit = h;
      h = std::min(std::abs(tend - t), h);  // end exactly on tend

      evaluate_rhs(sys, t, y, fcn0_.data());
      if (!s.autonomous) {
        rhs_time_derivative(sys, t, y, fcn0_.data(), dfdt_.data());
      }
      evaluate_jacobian(sys, t, y, jac0_.data());

      // Attempts at this step: f, df/dt and the Jacobian at its start are
      // reused, t and y stay put until an attempt is accepted.
      for (;;) {
        if (prepare_stage_matrix(sys, h, direction, ros.ros_gamma[0],
                                 jac0_.data(), ghimj_.data())) {
          return report_error(ros_singular, t, h, ierr);
        }
        stages(sys, t, h, direction, y);

        // ynew = y + sum_j m_j k_j and yerr = sum_j e_j k_j, each a sum of
        // the stages in ascending order.
        std::array<VectorTerm, max_stages> terms;
        for (int j = 0; j < ros.ros_s; ++j) terms[at0(j)] = {ros.ros_m[at0(j)], stage(j)};
        weighted_sum(n, y, terms.data(), ros.ros_s, ynew_.data());
        for (int j = 0; j < ros.ros_s; ++j) terms[at0(j)] = {ros.ros_e[at0(j)], stage(j)};
        weighted_sum(n, nullptr, terms.data(), ros.ros_s, yerr_.data());
        const double err = attempt_error(y, abstol, reltol, s.vectortol);
        double hnext = 0.0;
        if (controller.judge(s, ros, err, h, c, hnext)) {
          if (processes != nullptr) accept_processes(sys, t, h, direction, y, *processes);
          vector_copy(n, ynew_.data(), 1, y, 1);
          t = t + direction * h;
          h = hnext;
          break;
        }
        h = hnext;
        // A step cut until it can no longer move t (or until 1/h nears
        // overflow) would otherwise be retried forever, for instance when f
        // keeps returning not-a-numbers.
        if (cannot_advance(t, h)) {
          return report_error(ros_step_too_small, t, h, ierr);
        }
      }
    }
    ierr = ros_success;
  }

  // ydot = f(t, y), counted.
  void evaluate_rhs(const S& sys, double t, const double* y,
                    double* ydot) {
    sys.fun(t, y, ydot);
    ++counters_.nfun;
  }

  // jcb = the Jacobian at (t, y) in the system's layout, counted.
  void evaluate_jacobian(const S& sys, double t, const double* y,
                         double* jcb) {
    sys.jac(t, y, jcb);
    ++counters_.njac;
  }

  // df/dt by a forward difference in time, with an increment of
  // sqrt(roundoff) relative to |t| (at least 1e-6 in absolute terms).
  void rhs_time_derivative(const S& sys, double t, const double* y,
                           const double* fcn0, double* dfdt) {
    constexpr double deltamin = 1.0e-6;
    const double delta =
        std::sqrt(settings_.roundoff) * std::max(deltamin, std::abs(t));
    evaluate_rhs(sys, t + delta, y, dfdt);
    axpy(dim(), -1.0, fcn0, 1, dfdt, 1);
    scale_vector(dim(), 1.0 / delta, dfdt, 1);
  }

  // Forms ghimj = 1/(direction*h*gam) I - jac0 and factorises it. A singular
  // matrix is reported on the sink and retried with half the step, at most
  // five times; returns true when the matrix stayed singular (h then holds
  // the last halved size).
  bool prepare_stage_matrix(const S& sys, double& h, double direction,
                            double gam, const double* jac0, double* ghimj) {
    constexpr int max_halvings = 5;
    int nconsecutive = 0;
    for (;;) {
      const double ghinv = 1.0 / (direction * h * gam);
      int ising = 0;
      if constexpr (ShiftedDecomposition<S>) {
        ising = sys.decomp_shifted(jac0, ghinv, ghimj);
        ++counters_.ndec;
      } else {
        negated_copy(entries(), jac0, ghimj);  // ghimj = 0 - jac0
        for (int i = 0; i < dim(); ++i) {
          double& d = ghimj[sys.diag(i)];
          d = d + ghinv;
        }
        ising = decompose(sys, ghimj);
      }
      if (ising == 0) return false;
      ++counters_.nsng;
      ++nconsecutive;
      emit({"Warning: LU Decomposition returned ising = ", ising});
      if (nconsecutive > max_halvings) return true;
      h = h * 0.5;
    }
  }

  // In-place LU factorisation, counted; 0 or the first singular row.
  int decompose(const S& sys, double* a) {
    const int ising = sys.decomp(a);
    ++counters_.ndec;
    return ising;
  }

  // b := (LU)^-1 b, counted.
  void solve_with_factors(const S& sys, const double* a, double* b) {
    sys.solve(a, b);
    ++counters_.nsol;
  }

  // Root-mean-square of the error components, each scaled by
  // abstol + reltol * max(|y|, |ynew|), for a system of compile-time size.
  static double scaled_error_norm(const double* y, const double* ynew,
                                  const double* yerr, const double* abstol,
                                  const double* reltol, bool vectortol)
    requires(!sized_at_run_time)
  {
    alignas(64) std::array<double, n> q2;
    return scaled_norm(n, inverse_n, q2.data(), y, ynew, yerr, abstol, reltol, vectortol);
  }

 private:
  template <int size>
  using StageBuffer = detail::StageBuffer<size>;

  // The double nearest to 1/n (for the mechanism, 0.01282051282051282).
  static constexpr double inverse_n = sized_at_run_time ? 0.0 : 1.0 / n;

  static constexpr std::size_t at0(int i) { return static_cast<std::size_t>(i); }
  // The system's size and stored matrix entries: constants, or those of
  // the storage's last sizing.
  int dim() const noexcept {
    if constexpr (sized_at_run_time) return n_; else return n;
  }
  int entries() const noexcept {
    if constexpr (sized_at_run_time) return nnz_; else return nnz;
  }
  double* stage(int j) { return k_.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(dim()); }

  // Sizes the storage for `sys`: nothing to do for compile-time sizes, and
  // an allocation only when the run-time sizes differ from the last ones.
  void size_storage([[maybe_unused]] const S& sys) {
    if constexpr (sized_at_run_time) {
      const int size = static_cast<int>(sys.n());
      const int stored = static_cast<int>(sys.nnz());
      if (size == n_ && stored == nnz_) return;
      n_ = size;
      nnz_ = stored;
      inverse_n_ = 1.0 / size;
      k_.resize(max_stages * size);
      for (StageBuffer<0>* v : {&ynew_, &fcn0_, &fcn_, &dfdt_, &yerr_, &q2_, &atol_, &rtol_})
        v->resize(size);
      jac0_.resize(stored);
      ghimj_.resize(stored);
    }
  }

  // The squared scaled errors element by element into q2 (several at a
  // time in the vector registers: the divisions are most of the work),
  // then the root mean square of their sum in ascending order.
  static double scaled_norm(int size, double inverse_size, double* q2, const double* y,
                            const double* ynew, const double* yerr, const double* abstol,
                            const double* reltol, bool vectortol) {
    scaled_squares(size, y, ynew, yerr, abstol, reltol, vectortol, q2);
    double err = 0.0;
    for (int i = 0; i < size; ++i) err = err + q2[at0(i)];
    return error_norm(err, inverse_size);
  }

  // The error norm of the attempt in ynew_ and yerr_.
  double attempt_error(const double* y, const double* abstol, const double* reltol,
                       bool vectortol) {
    if constexpr (sized_at_run_time) {
      return scaled_norm(n_, inverse_n_, q2_.data(), y, ynew_.data(), yerr_.data(), abstol, reltol,
                         vectortol);
    } else {
      return scaled_error_norm(y, ynew_.data(), yerr_.data(), abstol, reltol, vectortol);
    }
  }

  // The stages of one attempt, each solved in place with the factors in
  // ghimj: stage i = (LU)^-1 [f(y + sum_j a_ij k_j) + sum_j c_ij/(dir h) k_j
  //                           + dir h gamma_i df/dt].
  void stages(const S& sys, double t, double h, double direction,
              const double* y) {
    const int n = dim();
    const RosenbrockMethod& ros = method_;
    const double* fcn = fcn0_.data();  // f of the current stage
    // Each stage sum is formed in one pass: its terms in ascending order,
    // each added as axpy adds it.
    std::array<VectorTerm, max_stages + 1> terms;
    for (int i = 0; i < ros.ros_s; ++i) {
      if (i > 0 && ros.ros_newf[at0(i)]) {
        for (int j = 0; j < i; ++j) {
          terms[at0(j)] = {ros.ros_a[at0(lower_triangle(i, j))], stage(j)};
        }
        weighted_sum(n, y, terms.data(), i, ynew_.data());
        const double tau = t + (direction * ros.ros_alpha[at0(i)]) * h;
        evaluate_rhs(sys, tau, ynew_.data(), fcn_.data());
        fcn = fcn_.data();
      }  // else f of the previous stage serves again
      int count = 0;
      for (int j = 0; j < i; ++j) {
        const double hc = ros.ros_c[at0(lower_triangle(i, j))] / (direction * h);
        terms[at0(count++)] = {hc, stage(j)};
      }
      if (!settings_.autonomous && ros.ros_gamma[at0(i)] != 0.0) {
        const double hg = direction * h * ros.ros_gamma[at0(i)];
        terms[at0(count++)] = {hg, dfdt_.data()};
      }
      double* ki = stage(i);
      weighted_sum(n, fcn, terms.data(), count, ki);
      solve_with_factors(sys, ghimj_.data(), ki);
    }
  }

  // The process part of the stages follows from their species part. With
  // H = direction * h and u_i = r(Y_i) + R k_i (+ H gamma_i dr/dt), the
  // process stages solve k_i^z = H gamma (u_i + sum_j (c_ij / H) k_j^z),
  // so k_i^z = H sum_l tau_il u_l with tau_ii = gamma and
  //   tau_il = gamma sum_{l <= j < i} c_ij tau_jl,
  // which depends on the method alone. An accepted step then adds
  //   sum_i m_i k_i^z = H sum_l omega_l u_l,  omega_l = sum_i m_i tau_il,
  // = H (sum_l omega_l r(Y_l) + R sum_l omega_l k_l [+ H sum_l omega_l
  //   gamma_l dr/dt]):
  // one product with R per accepted step, and nothing at all for rejected
  // attempts.
  void process_weights() {
    const RosenbrockMethod& ros = method_;
    const double gamma = ros.ros_gamma[0];
    std::array<std::array<double, max_stages>, max_stages> tau{};
    for (int i = 0; i < ros.ros_s; ++i) {
      tau[at0(i)][at0(i)] = gamma;
      for (int l = 0; l < i; ++l) {
        double sum = 0.0;
        for (int j = l; j < i; ++j)
          sum = sum + ros.ros_c[at0(lower_triangle(i, j))] * tau[at0(j)][at0(l)];
        tau[at0(i)][at0(l)] = gamma * sum;
      }
    }
    for (int l = 0; l < max_stages; ++l) {
      double w = 0.0;
      for (int i = l; i < ros.ros_s; ++i) w = w + ros.ros_m[at0(i)] * tau[at0(i)][at0(l)];
      omega_[at0(l)] = w;
    }
  }

  // Adds the accepted step's process integrals to p; y is still the state
  // at the step's start, and the stages are those of the accepted attempt.
  void accept_processes(const S& sys, double t, double h, double direction,
                        const double* y, ProcessIntegrals& p) {
    if constexpr (ProcessSystem<S>) {
      const int n = dim();
      const RosenbrockMethod& ros = method_;
      const int np = p.size();
      const double hd = direction * h;
      // R sum_l omega_l k_l, with R at the step's start.
      std::array<VectorTerm, max_stages> terms;
      for (int l = 0; l < ros.ros_s; ++l) terms[at0(l)] = {omega_[at0(l)], stage(l)};
      weighted_sum(n, nullptr, terms.data(), ros.ros_s, p.state());
      sys.process_jvp(t, y, p.state(), p.sum());
      // sum_l omega_l r(Y_l): a stage that reuses f reuses its rates, so
      // the weights of a run of such stages go to one evaluation. The
      // stage inputs are formed again exactly as the stages formed them.
      for (int l = 0; l < ros.ros_s;) {
        double weight = omega_[at0(l)];
        int next = l + 1;
        while (next < ros.ros_s && !ros.ros_newf[at0(next)]) weight = weight + omega_[at0(next++)];
        if (l == 0) {
          sys.process_rates(t, y, p.rates());
        } else {
          for (int j = 0; j < l; ++j) terms[at0(j)] = {ros.ros_a[at0(lower_triangle(l, j))], stage(j)};
          weighted_sum(n, y, terms.data(), l, p.state());
          sys.process_rates(t + (direction * ros.ros_alpha[at0(l)]) * h, p.state(), p.rates());
        }
        axpy(np, weight, p.rates(), 1, p.sum(), 1);
        if (l == 0 && !settings_.autonomous) {
          // dr/dt by the forward difference f's time derivative takes.
          constexpr double deltamin = 1.0e-6;
          const double delta = std::sqrt(settings_.roundoff) * std::max(deltamin, std::abs(t));
          double* drdt = p.time_derivative();
          sys.process_rates(t + delta, y, drdt);
          axpy(np, -1.0, p.rates(), 1, drdt, 1);
          scale_vector(np, 1.0 / delta, drdt, 1);
          double g = 0.0;
          for (int i = 0; i < ros.ros_s; ++i) g = g + omega_[at0(i)] * ros.ros_gamma[at0(i)];
          axpy(np, hd * g, drdt, 1, p.sum(), 1);
        }
        l = next;
      }
      axpy(np, hd, p.sum(), 1, p.integrals(), 1);
    }
  }

  // Stage storage: max_stages vectors of n, one after another, and the work
  // vectors and matrices of a step; part of the object, so the step loop
  // allocates nothing.
  // Each array starts on a cache line, so that the wide vector loops over
  // them never split a load across two lines.
  StageBuffer<max_stages * n> k_{};
  StageBuffer<n> ynew_{};
  StageBuffer<n> fcn0_{};
  StageBuffer<n> fcn_{};
  StageBuffer<n> dfdt_{};
  StageBuffer<n> yerr_{};
  StageBuffer<nnz> jac0_{};
  StageBuffer<nnz> ghimj_{};
  std::array<double, max_stages> omega_{};  // process weights of the method's stages
  // Run-time sizes only: the sizes the storage has, 1/n, the squared
  // scaled errors of the error norm and the scalar tolerances spread over
  // the components by integrate() (on the stack for compile-time sizes).
  struct NoStorage {};
  int n_ = 0;
  int nnz_ = 0;
  double inverse_n_ = 0.0;
  using RunTimeBuffer = std::conditional_t<sized_at_run_time, StageBuffer<0>, NoStorage>;
  [[no_unique_address]] RunTimeBuffer q2_{};
  [[no_unique_address]] RunTimeBuffer atol_{};
  [[no_unique_address]] RunTimeBuffer rtol_{};
};

}  // namespace box
