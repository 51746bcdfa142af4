#pragma once
// Small systems with known behaviour for exercising the integrator: each
// stores its n x n matrix densely, row by row, as its own "sparse" layout,
// with a factorisation that, like the mechanism's, does not pivot and
// reports the first row whose pivot is zero, subnormal or not a number.
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "common/line_item.hpp"

namespace box::testing {

template <int N>
struct DenseLayout {
  static constexpr int n = N;
  static constexpr int nnz = N * N;
  static constexpr std::size_t idx(int i, int j) {
    return static_cast<std::size_t>(i * N + j);
  }
  static std::size_t diag(int i) { return idx(i, i); }

  static int decomp(double* a) {
    for (int k = 0; k < N; ++k) {
      const double pivot = a[idx(k, k)];
      if (!(std::abs(pivot) >= std::numeric_limits<double>::min())) {
        return k + 1;
      }
      for (int i = k + 1; i < N; ++i) {
        a[idx(i, k)] = a[idx(i, k)] / pivot;
        for (int j = k + 1; j < N; ++j) {
          a[idx(i, j)] = a[idx(i, j)] - a[idx(i, k)] * a[idx(k, j)];
        }
      }
    }
    return 0;
  }

  static void solve(const double* lu, double* x) {
    for (int i = 0; i < N; ++i) {
      for (int j = 0; j < i; ++j) x[i] = x[i] - lu[idx(i, j)] * x[j];
    }
    for (int i = N - 1; i >= 0; --i) {
      for (int j = i + 1; j < N; ++j) x[i] = x[i] - lu[idx(i, j)] * x[j];
      x[i] = x[i] / lu[idx(i, i)];
    }
  }
};

// y' = A y with a constant matrix.
template <int N>
struct LinearSystem : DenseLayout<N> {
  std::array<double, static_cast<std::size_t>(N) * N> a{};

  void fun(double, const double* y, double* f) const {
    for (int i = 0; i < N; ++i) {
      double s = 0.0;
      for (int j = 0; j < N; ++j) s = s + a[this->idx(i, j)] * y[j];
      f[i] = s;
    }
  }
  void jac(double, const double*, double* j) const {
    for (std::size_t k = 0; k < a.size(); ++k) j[k] = a[k];
  }
};

// A stiff nonlinear problem with a closed-form solution: the linear system
// z1' = -z1, z2' = c z1 - lambda z2 seen through y1 = z1, y2 = z2 + z1^2:
//   y1' = -y1
//   y2' = c y1 - lambda y2 + (lambda - 2) y1^2.
// Started on the slow manifold, z2 = c z1 / (lambda - 1) for all t.
struct CurvedStiff : DenseLayout<2> {
  double c = 1.0;
  double lambda = 1000.0;

  void fun(double, const double* y, double* f) const {
    f[0] = -y[0];
    f[1] = c * y[0] - lambda * y[1] + (lambda - 2.0) * y[0] * y[0];
  }
  void jac(double, const double* y, double* j) const {
    j[0] = -1.0;
    j[1] = 0.0;
    j[2] = c + 2.0 * (lambda - 2.0) * y[0];
    j[3] = -lambda;
  }
  std::array<double, 2> exact(double t) const {
    const double z1 = std::exp(-t);
    const double z2 = c * z1 / (lambda - 1.0);
    return {z1, z2 + z1 * z1};
  }
};

// Explicitly time-dependent: y' = -(y - t^2) + 2t, solution t^2 whichever
// way it is followed. Its df/dt is linear in t, so a forward difference in
// time is exact up to rounding.
struct QuadraticForcing : DenseLayout<1> {
  void fun(double t, const double* y, double* f) const {
    f[0] = -(y[0] - t * t) + 2.0 * t;
  }
  void jac(double, const double*, double* j) const { j[0] = -1.0; }
};

// Robertson's autocatalytic reaction system, a classic stiff chemistry
// problem: A -> B (0.04), B + C -> A + C (1e4), 2B -> B + C (3e7). The rate
// constants span eleven orders of magnitude and A + B + C is conserved.
struct Robertson : DenseLayout<3> {
  void fun(double, const double* y, double* f) const {
    const double r1 = 0.04 * y[0];
    const double r2 = 1.0e4 * y[1] * y[2];
    const double r3 = 3.0e7 * y[1] * y[1];
    f[0] = -r1 + r2;
    f[1] = r1 - r2 - r3;
    f[2] = r3;
  }
  void jac(double, const double* y, double* j) const {
    j[0] = -0.04;
    j[1] = 1.0e4 * y[2];
    j[2] = 1.0e4 * y[1];
    j[3] = 0.04;
    j[4] = -1.0e4 * y[2] - 6.0e7 * y[1];
    j[5] = -1.0e4 * y[1];
    j[6] = 0.0;
    j[7] = 6.0e7 * y[1];
    j[8] = 0.0;
  }
};

// Two first-order reactions in sequence, A -> B (k1) and B -> C (k2), as
// processes: r = (k1 A, k2 B) with net coefficients (-1, 1, 0) and
// (0, -1, 1). The integrals of both rates are known in closed form.
struct Consecutive : DenseLayout<3> {
  double k1 = 2.0;
  double k2 = 0.5;

  void fun(double, const double* y, double* f) const {
    const double r1 = k1 * y[0];
    const double r2 = k2 * y[1];
    f[0] = -r1;
    f[1] = r1 - r2;
    f[2] = r2;
  }
  void jac(double, const double*, double* j) const {
    const double m[9] = {-k1, 0.0, 0.0, k1, -k2, 0.0, 0.0, k2, 0.0};
    for (int i = 0; i < 9; ++i) j[i] = m[i];
  }
  static constexpr int nproc() { return 2; }
  void process_rates(double, const double* y, double* r) const {
    r[0] = k1 * y[0];
    r[1] = k2 * y[1];
  }
  void process_jvp(double, const double*, const double* v, double* out) const {
    out[0] = k1 * v[0];
    out[1] = k2 * v[1];
  }
  // Integrals of k1 A and k2 B over [0, t] from (a0, b0, anything).
  std::array<double, 2> integrals(double a0, double b0, double t) const {
    const double e1 = -std::expm1(-k1 * t);  // 1 - exp(-k1 t)
    const double e2 = -std::expm1(-k2 * t);
    return {a0 * e1, b0 * e2 + a0 * k1 * k2 / (k2 - k1) * (e1 / k1 - e2 / k2)};
  }
};

// Robertson's system with its three reactions as processes.
struct RobertsonProcesses : Robertson {
  static constexpr int nproc() { return 3; }
  void process_rates(double, const double* y, double* r) const {
    r[0] = 0.04 * y[0];
    r[1] = 1.0e4 * y[1] * y[2];
    r[2] = 3.0e7 * y[1] * y[1];
  }
  void process_jvp(double, const double* y, const double* v, double* out) const {
    out[0] = 0.04 * v[0];
    out[1] = 1.0e4 * y[2] * v[1] + 1.0e4 * y[1] * v[2];
    out[2] = 6.0e7 * y[1] * v[1];
  }
  // Net coefficient of species s in reaction r.
  static constexpr double net[3][3] = {{-1, 1, 0}, {1, -1, -1}, {0, 0, 1}};
};

// QuadraticForcing as two processes: a loss y (coefficient -1) and an
// explicitly time-dependent source t^2 + 2t (coefficient +1). From y(0) = 0
// the solution is t^2, so the loss integrates to t^3/3 and the source to
// t^3/3 + t^2.
struct QuadraticProcesses : QuadraticForcing {
  static constexpr int nproc() { return 2; }
  void process_rates(double t, const double* y, double* r) const {
    r[0] = y[0];
    r[1] = t * t + 2.0 * t;
  }
  void process_jvp(double, const double*, const double* v, double* out) const {
    out[0] = v[0];
    out[1] = 0.0;
  }
};

// Wraps a system and records the time of every right-hand-side evaluation
// (the integrator's stage times reveal its step sizes).
template <class S>
struct Recording : S {
  mutable std::vector<double> times;
  void fun(double t, const double* y, double* f) const {
    times.push_back(t);
    S::fun(t, y, f);
  }
};

// Collects the integrator's lines for inspection.
struct CapturedLines {
  std::vector<std::vector<LineItem>> lines;
  LineSink sink() {
    return [this](std::span<const LineItem> items) {
      lines.emplace_back(items.begin(), items.end());
    };
  }
};

}  // namespace box::testing
