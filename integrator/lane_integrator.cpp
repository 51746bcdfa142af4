#include "integrator/lane_integrator.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "integrator/methods.hpp"
#include "integrator/step_control.hpp"

namespace box {
namespace {

constexpr int L = 4;  // the lane forms built (mechanism/lane_kernels.hpp)
constexpr std::size_t uz(int i) { return static_cast<std::size_t>(i); }

// The settings and method of one box, validated as the one-box integrator
// validates them.
class LaneControl : public RosenbrockControl {
 public:
  bool set_up(const LaneBox& b, int n) {
    IntControls icntrl{};
    RealControls rcntrl{};
    for (std::size_t i = 0; i < icntrl.size(); ++i)
      if ((*b.icntrl)[i] > 0) icntrl[i] = (*b.icntrl)[i];
    for (std::size_t i = 0; i < rcntrl.size(); ++i)
      if ((*b.rcntrl)[i] > 0.0) rcntrl[i] = (*b.rcntrl)[i];
    int ierr = 0;
    return configure(n, b.tstart, b.tend, b.atol, b.rtol, rcntrl, icntrl, IntControls{}, ierr);
  }
};

// Lane-major storage of `entries` values per box on a 64-byte boundary.
class LaneArray {
 public:
  explicit LaneArray(int entries) : store_(uz(entries) * L + 8) {
    const auto p = reinterpret_cast<std::uintptr_t>(store_.data());
    data_ = store_.data() + ((64 - p % 64) % 64) / sizeof(double);
  }
  double* get() { return data_; }
  double& at(int entry, int lane) { return data_[uz(entry) * L + uz(lane)]; }

 private:
  std::vector<double> store_;
  double* data_ = nullptr;
};

}  // namespace

// The storage of an integration, sized once for the kernels' system.
struct LaneIntegrator::Work {
  explicit Work(const LaneKernels& s)
      : n(s.n), y{n}, ynew{n}, fcn0{n}, fcn{n}, yerr{n}, ftmp{n}, dfdt{n}, dtmp{n}, k{max_stages * n},
        jac0{s.nnz}, jtmp{s.nnz}, ghimj{s.nnz}, fix{s.nfix}, rconst{s.nrconst}, atol{n}, rtol{n} {}
  int n;
  LaneArray y, ynew, fcn0, fcn, yerr, ftmp, dfdt, dtmp;
  LaneArray k;
  LaneArray jac0, jtmp, ghimj;
  LaneArray fix, rconst, atol, rtol;
  double* stage(int j) { return k.get() + uz(j) * uz(n) * L; }
};

LaneIntegrator::LaneIntegrator(const LaneKernels& kernels)
    : kernels_(kernels), work_(std::make_unique<Work>(kernels)) {}
LaneIntegrator::LaneIntegrator(const LaneKernels& shape, LaneSystem& system)
    : kernels_(shape), system_(&system), work_(std::make_unique<Work>(shape)) {}
LaneIntegrator::~LaneIntegrator() = default;

void LaneIntegrator::fun(const double* t, const double* y, const double* fix, const double* rconst, double* ydot) {
  if (system_ != nullptr) system_->fun(t, y, fix, rconst, ydot);
  else kernels_.fun(y, fix, rconst, ydot);
}
void LaneIntegrator::jac(const double* t, const double* y, const double* fix, const double* rconst, double* j) {
  if (system_ != nullptr) system_->jac(t, y, fix, rconst, j);
  else kernels_.jac(y, fix, rconst, j);
}
void LaneIntegrator::decomp_shifted(const double* j, const double* shift, double* lu, int* ier) {
  if (system_ != nullptr) system_->decomp_shifted(j, shift, lu, ier);
  else kernels_.decomp_shifted(j, shift, lu, ier);
}
void LaneIntegrator::solve(const double* lu, double* x) {
  if (system_ != nullptr) system_->solve(lu, x);
  else kernels_.solve(lu, x);
}

// df/dt as the one-box integrator forms it (rhs_time_derivative), each
// lane with its own time: f at t + delta, less f0 (axpy with -1),
// times 1/delta (scale_vector, with its cases).
void LaneIntegrator::time_derivative(const double* t, double roundoff, const double* f0, double* dfdt) {
  Work& w = *work_;
  constexpr double deltamin = 1.0e-6;
  alignas(32) std::array<double, L> shifted{}, scale{};
  for (int b = 0; b < L; ++b) {
    const double delta = std::sqrt(roundoff) * std::max(deltamin, std::abs(t[b]));
    shifted[uz(b)] = t[b] + delta;
    scale[uz(b)] = 1.0 / delta;
  }
  fun(shifted.data(), w.y.get(), w.fix.get(), w.rconst.get(), dfdt);
  for (int i = 0; i < w.n; ++i)
    for (int b = 0; b < L; ++b) {
      double& d = dfdt[uz(i) * L + uz(b)];
      const double product = -1.0 * f0[uz(i) * L + uz(b)];
      d = product + d;
      const double alpha = scale[uz(b)];
      if (alpha == 1.0) continue;
      if (alpha == -1.0) d = 0.0 - d;
      else if (alpha == 0.0) d = 0.0;
      else d = alpha * d;
    }
}

namespace {

// The element-wise work of a step over all lanes at once, in the vector
// registers of the lane kernels' instruction set (these run only when that
// form was chosen). Each lane's arithmetic is the one-box integrator's;
// the routines have internal linkage and call nothing inline, so no code
// of this instruction set is shared with the rest of the program.
typedef double vd __attribute__((vector_size(32)));
typedef long long vl __attribute__((vector_size(32)));
#if defined(__x86_64__) && defined(__GNUC__)
#define BOX_LANE_TARGET __attribute__((target("avx2,no-fma")))
#else
#define BOX_LANE_TARGET
#endif

struct LaneTerm {
  std::array<double, L> alpha;
  const double* x;
};

// out = base (or 0), then alpha_t * x_t + out for every term in order,
// lane by lane, leaving out a term whose alpha is 0 in that lane: what
// weighted_sum does for each box. With `skip`, the lanes' zero alphas are
// tested; without, none is zero.
template <int count, bool from_zero, bool skip>
BOX_LANE_TARGET void lane_sum_terms(int n, const double* base, const LaneTerm* terms, double* out) {
  vd alpha[count + 1];
  vl zero[count + 1];
  const vd* x[count + 1];
  for (int t = 0; t < count; ++t) {
    __builtin_memcpy(&alpha[t], terms[t].alpha.data(), sizeof(vd));
    zero[t] = alpha[t] == 0.0;
    x[t] = reinterpret_cast<const vd*>(terms[t].x);
  }
  const vd* b = reinterpret_cast<const vd*>(base);
  vd* o = reinterpret_cast<vd*>(out);
  for (int i = 0; i < n; ++i) {
    vd sum = from_zero ? vd{} : b[i];
#pragma GCC unroll 8
    for (int t = 0; t < count; ++t) {
      const vd product = alpha[t] * x[t][i];
      sum = skip ? (zero[t] ? sum : product + sum) : product + sum;
    }
    o[i] = sum;
  }
}

template <bool from_zero, bool skip>
BOX_LANE_TARGET void lane_sum(int n, const double* base, const LaneTerm* terms, int count, double* out) {
  switch (count) {
    case 0: return lane_sum_terms<0, from_zero, skip>(n, base, terms, out);
    case 1: return lane_sum_terms<1, from_zero, skip>(n, base, terms, out);
    case 2: return lane_sum_terms<2, from_zero, skip>(n, base, terms, out);
    case 3: return lane_sum_terms<3, from_zero, skip>(n, base, terms, out);
    case 4: return lane_sum_terms<4, from_zero, skip>(n, base, terms, out);
    case 5: return lane_sum_terms<5, from_zero, skip>(n, base, terms, out);
    default: return lane_sum_terms<max_stages, from_zero, skip>(n, base, terms, out);
  }
}

void lane_wsum(int n, const double* base, const LaneTerm* terms, int count, double* out) {
  // Terms whose alpha is 0 in every lane are left out here, as weighted_sum
  // leaves them out; a term zero in some lanes only is skipped lane by lane.
  LaneTerm kept[max_stages + 1];
  int k = 0;
  bool mixed = false;
  for (int t = 0; t < count; ++t) {
    int zeros = 0;
    for (const double a : terms[t].alpha) zeros += a == 0.0 ? 1 : 0;
    if (zeros == L) continue;
    mixed = mixed || zeros > 0;
    kept[k++] = terms[t];
  }
  if (base == nullptr) {
    if (mixed) lane_sum<true, true>(n, nullptr, kept, k, out);
    else lane_sum<true, false>(n, nullptr, kept, k, out);
  } else {
    if (mixed) lane_sum<false, true>(n, base, kept, k, out);
    else lane_sum<false, false>(n, base, kept, k, out);
  }
}

// Each lane's sum, in ascending order, of the squared scaled errors
// (yerr / (atol + rtol * max(|ynew|, |y|)))^2.
BOX_LANE_TARGET void lane_error_sums(int n, const double* y, const double* ynew, const double* yerr,
                                     const double* atol, const double* rtol, double* sums) {
  const vl magnitude = vl{} + 0x7fffffffffffffffLL;
  const vd* vy = reinterpret_cast<const vd*>(y);
  const vd* vn = reinterpret_cast<const vd*>(ynew);
  const vd* ve = reinterpret_cast<const vd*>(yerr);
  const vd* va = reinterpret_cast<const vd*>(atol);
  const vd* vr = reinterpret_cast<const vd*>(rtol);
  vd err = {};
  for (int i = 0; i < n; ++i) {
    const vd a = (vd)((vl)vn[i] & magnitude);
    const vd b = (vd)((vl)vy[i] & magnitude);
    const vd ymax = a < b ? b : a;  // std::max(a, b)
    const vd q = ve[i] / (va[i] + vr[i] * ymax);
    err = err + q * q;
  }
  __builtin_memcpy(sums, &err, sizeof err);
}

// to = from in the lanes whose `take` is set.
BOX_LANE_TARGET void take_lanes(const double* from, double* to, int entries, const long long* take) {
  vl mask;
  __builtin_memcpy(&mask, take, sizeof mask);
  const vd* f = reinterpret_cast<const vd*>(from);
  vd* t = reinterpret_cast<vd*>(to);
  for (int i = 0; i < entries; ++i) t[i] = mask ? f[i] : t[i];
}

}  // namespace

bool LaneIntegrator::integrate(std::span<LaneBox> boxes) {
  if (boxes.empty() || boxes.size() > uz(L) || kernels_.lanes != L) return false;
  const int used = static_cast<int>(boxes.size());
  Work& w = *work_;
  const int n = w.n;
  const int nnz = kernels_.nnz;

  // Settings of each box; every box must take the path handled here.
  std::array<LaneControl, L> control;
  for (int b = 0; b < used; ++b) {
    if (!control[uz(b)].set_up(boxes[uz(b)], n)) return false;
    const RosenbrockSettings& s = control[uz(b)].settings();
    if ((!s.autonomous && system_ == nullptr) || s.autonomous != control[0].settings().autonomous ||
        !(boxes[uz(b)].tend >= boxes[uz(b)].tstart) || s.method_number != control[0].settings().method_number)
      return false;
  }
  const bool autonomous = control[0].settings().autonomous;
  const RosenbrockMethod& ros = control[0].method();

  // The boxes' values in the lanes; lanes beyond the boxes repeat box 0
  // (and stay idle).
  for (int b = 0; b < L; ++b) {
    const LaneBox& x = boxes[uz(std::min(b, used - 1))];
    const RosenbrockSettings& s = control[uz(std::min(b, used - 1))].settings();
    for (int i = 0; i < n; ++i) {
      w.y.at(i, b) = x.var[i];
      w.atol.at(i, b) = s.vectortol ? x.atol[i] : x.atol[0];
      w.rtol.at(i, b) = s.vectortol ? x.rtol[i] : x.rtol[0];
    }
    for (int i = 0; i < kernels_.nfix; ++i) w.fix.at(i, b) = x.fix[i];
    for (int i = 0; i < kernels_.nrconst; ++i) w.rconst.at(i, b) = x.rconst[i];
  }

  struct Lane {
    double t = 0.0, h = 0.0, tend = 0.0;
    StepController controller;
    bool active = false, fresh = true;  // fresh: the step's f and J are still to be formed
    RosenbrockCounters c{};
  };
  std::array<Lane, L> lane{};
  const auto running = [](const Lane& l, const RosenbrockSettings& s) {
    return (l.t - l.tend) + s.roundoff <= 0.0;
  };
  for (int b = 0; b < used; ++b) {
    const RosenbrockSettings& s = control[uz(b)].settings();
    Lane& l = lane[uz(b)];
    l.t = boxes[uz(b)].tstart;
    l.tend = boxes[uz(b)].tend;
    l.h = first_step(s);
    l.active = running(l, s);
  }
  constexpr double direction = 1.0;
  const double inverse_n = 1.0 / n;

  for (;;) {
    bool any_active = false, any_fresh = false;
    for (int b = 0; b < used; ++b) {
      Lane& l = lane[uz(b)];
      if (!l.active) continue;
      any_active = true;
      if (!l.fresh) continue;
      const RosenbrockSettings& s = control[uz(b)].settings();
      if (step_refused(s, l.c, l.t, l.h) != 0) return false;
      l.h = std::min(std::abs(l.tend - l.t), l.h);
      any_fresh = true;
    }
    if (!any_active) break;

    // f (and without autonomy df/dt, by the one-box integrator's forward
    // difference) and the Jacobian at the start of the lanes' new steps:
    // straight into place when no lane is within a step, else merged into it.
    alignas(32) std::array<double, L> times{};
    for (int b = 0; b < L; ++b) times[uz(b)] = lane[uz(std::min(b, used - 1))].t;
    if (any_fresh) {
      alignas(32) std::array<long long, L> fresh{};
      bool all = true;
      for (int b = 0; b < used; ++b) {
        Lane& l = lane[uz(b)];
        if (!l.active) continue;
        if (!l.fresh) {
          all = false;
          continue;
        }
        fresh[uz(b)] = -1;
        ++l.c.nfun;
        ++l.c.njac;
        if (!autonomous) ++l.c.nfun;
        l.fresh = false;
      }
      double* f0 = all ? w.fcn0.get() : w.ftmp.get();
      double* d0 = all ? w.dfdt.get() : w.dtmp.get();
      double* j0 = all ? w.jac0.get() : w.jtmp.get();
      fun(times.data(), w.y.get(), w.fix.get(), w.rconst.get(), f0);
      if (!autonomous) time_derivative(times.data(), control[0].settings().roundoff, f0, d0);
      jac(times.data(), w.y.get(), w.fix.get(), w.rconst.get(), j0);
      if (!all) {
        take_lanes(w.ftmp.get(), w.fcn0.get(), n, fresh.data());
        if (!autonomous) take_lanes(w.dtmp.get(), w.dfdt.get(), n, fresh.data());
        take_lanes(w.jtmp.get(), w.jac0.get(), nnz, fresh.data());
      }
    }

    // One attempt in every active lane. The stage matrix of an idle lane
    // is formed with a shift of 1 from whatever its Jacobian holds.
    alignas(32) std::array<double, L> ghinv{};
    std::array<double, L> hd{};
    for (int b = 0; b < L; ++b) {
      const Lane& l = lane[uz(b)];
      ghinv[uz(b)] = l.active ? 1.0 / (direction * l.h * ros.ros_gamma[0]) : 1.0;
      hd[uz(b)] = l.active ? direction * l.h : 1.0;
    }
    std::array<int, L> ier{};
    decomp_shifted(w.jac0.get(), ghinv.data(), w.ghimj.get(), ier.data());
    for (int b = 0; b < used; ++b) {
      Lane& l = lane[uz(b)];
      if (!l.active) continue;
      ++l.c.ndec;
      if (ier[uz(b)] != 0) return false;  // the halving of the step is the one-box integrator's
    }

    // The stages, as Rosenbrock::stages forms them.
    std::array<LaneTerm, max_stages + 1> terms;
    const double* fcn = w.fcn0.get();
    for (int i = 0; i < ros.ros_s; ++i) {
      if (i > 0 && ros.ros_newf[uz(i)]) {
        for (int j = 0; j < i; ++j) {
          terms[uz(j)].alpha.fill(ros.ros_a[uz(lower_triangle(i, j))]);
          terms[uz(j)].x = w.stage(j);
        }
        lane_wsum(n, w.y.get(), terms.data(), i, w.ynew.get());
        alignas(32) std::array<double, L> tau{};
        for (int b = 0; b < L; ++b) {
          const Lane& l = lane[uz(std::min(b, used - 1))];
          tau[uz(b)] = l.t + (direction * ros.ros_alpha[uz(i)]) * l.h;
        }
        fun(tau.data(), w.ynew.get(), w.fix.get(), w.rconst.get(), w.fcn.get());
        for (int b = 0; b < used; ++b)
          if (lane[uz(b)].active) ++lane[uz(b)].c.nfun;
        fcn = w.fcn.get();
      }
      for (int j = 0; j < i; ++j) {
        for (int b = 0; b < L; ++b)
          terms[uz(j)].alpha[uz(b)] = ros.ros_c[uz(lower_triangle(i, j))] / hd[uz(b)];
        terms[uz(j)].x = w.stage(j);
      }
      int count = i;
      if (!autonomous && ros.ros_gamma[uz(i)] != 0.0) {
        for (int b = 0; b < L; ++b) terms[uz(count)].alpha[uz(b)] = hd[uz(b)] * ros.ros_gamma[uz(i)];
        terms[uz(count++)].x = w.dfdt.get();
      }
      double* ki = w.stage(i);
      lane_wsum(n, fcn, terms.data(), count, ki);
      solve(w.ghimj.get(), ki);
      for (int b = 0; b < used; ++b)
        if (lane[uz(b)].active) ++lane[uz(b)].c.nsol;
    }

    // The new state, the error estimate and its norm.
    for (int j = 0; j < ros.ros_s; ++j) {
      terms[uz(j)].alpha.fill(ros.ros_m[uz(j)]);
      terms[uz(j)].x = w.stage(j);
    }
    lane_wsum(n, w.y.get(), terms.data(), ros.ros_s, w.ynew.get());
    for (int j = 0; j < ros.ros_s; ++j) terms[uz(j)].alpha.fill(ros.ros_e[uz(j)]);
    lane_wsum(n, nullptr, terms.data(), ros.ros_s, w.yerr.get());
    alignas(32) std::array<double, L> err{};
    lane_error_sums(n, w.y.get(), w.ynew.get(), w.yerr.get(), w.atol.get(), w.rtol.get(), err.data());
    alignas(32) std::array<long long, L> accepted{};

    // Each lane's controller.
    for (int b = 0; b < used; ++b) {
      Lane& l = lane[uz(b)];
      if (!l.active) continue;
      const RosenbrockSettings& s = control[uz(b)].settings();
      const double e = error_norm(err[uz(b)], inverse_n);
      double hnext = 0.0;
      if (l.controller.judge(s, ros, e, l.h, l.c, hnext)) {
        accepted[uz(b)] = -1;
        l.t = l.t + direction * l.h;
        l.h = hnext;
        l.fresh = true;
        l.active = running(l, s);
        continue;
      }
      l.h = hnext;
      if (cannot_advance(l.t, l.h)) return false;
    }
    take_lanes(w.ynew.get(), w.y.get(), n, accepted.data());
  }

  for (int b = 0; b < used; ++b) {
    for (int i = 0; i < n; ++i) boxes[uz(b)].var[i] = w.y.at(i, b);
    boxes[uz(b)].counters = lane[uz(b)].c;
  }
  return true;
}

}  // namespace box
