#pragma once
// Loop form of the LU factorisation and solve over the pattern's index
// tables. The model uses the generated straight-line kernels; this form
// performs the same operations in the same order (so its results are
// bit-identical) and serves as their reference in tests and benchmarks.
#include <cmath>
#include <limits>

#include "mechanism/jacobian_pattern.hpp"

namespace box {

inline void decomp_racm_loop(double* jvs, int& ier) noexcept {
  double w[nvar] = {};  // row k, scattered by column
  ier = 0;
  for (int k = 1; k <= nvar; ++k) {
    // No pivoting: the integrator's matrix I/(h gamma) - J has a strong
    // diagonal, and keeping the order fixed keeps the pattern fixed. A pivot
    // that is zero, subnormal or NaN is reported before row k is touched, and
    // the integrator answers with a smaller step.
    if (!(std::fabs(jvs[at(lu_diag[at(k)])]) >= std::numeric_limits<double>::min())) {
      ier = k;
      return;
    }
    for (int m = lu_crow[at(k)]; m < lu_crow[at(k + 1)]; ++m) w[at(lu_icol[at(m)])] = jvs[at(m)];
    for (int m = lu_crow[at(k)]; m < lu_diag[at(k)]; ++m) {
      const int j = lu_icol[at(m)];
      const double alpha = 0.0 - w[at(j)] / jvs[at(lu_diag[at(j)])];
      w[at(j)] = 0.0 - alpha;
      for (int p = lu_diag[at(j)] + 1; p < lu_crow[at(j + 1)]; ++p)
        w[at(lu_icol[at(p)])] = alpha * jvs[at(p)] + w[at(lu_icol[at(p)])];
    }
    for (int m = lu_crow[at(k)]; m < lu_crow[at(k + 1)]; ++m) jvs[at(m)] = w[at(lu_icol[at(m)])];
    // A pivot can also cancel during the row's own elimination; report it
    // here rather than divide by it in a later row.
    if (!(std::fabs(jvs[at(lu_diag[at(k)])]) >= std::numeric_limits<double>::min())) {
      ier = k;
      return;
    }
  }
}

inline void racm_solve_loop(const double* jvs, double* x) noexcept {
  for (int i = 1; i <= nvar; ++i)
    for (int m = lu_crow[at(i)]; m < lu_diag[at(i)]; ++m)
      x[at(i)] = x[at(i)] - jvs[at(m)] * x[at(lu_icol[at(m)])];
  for (int i = nvar; i >= 1; --i) {
    double s = x[at(i)];
    for (int m = lu_diag[at(i)] + 1; m < lu_crow[at(i + 1)]; ++m)
      s = s - jvs[at(m)] * x[at(lu_icol[at(m)])];
    x[at(i)] = s / jvs[at(lu_diag[at(i)])];
  }
}

}  // namespace box
