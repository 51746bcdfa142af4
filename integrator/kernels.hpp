#pragma once
// Dense vector kernels of the Rosenbrock integrator and its unit roundoff.
//
// The kernels take their arguments in the style of the basic linear algebra
// subprograms (length, scalar, arrays, increments) but always work with unit
// stride: the increments are accepted and ignored. Every element is computed
// on its own, so the loop order never changes a result, and the loops may be
// run two elements at a time in the vector registers (the build passes
// -fopenmp-simd; the packed instructions round each element exactly as the
// scalar ones do). Source and destination are the same array or do not
// overlap at all.
#include <algorithm>

#include "common/line_item.hpp"

namespace box {

// y(i) = x(i) for i < n; nothing when n <= 0.
inline void racm_wcopy(int n, const double* x, int /*incx*/, double* y,
                       int /*incy*/) {
  if (n > 0) std::copy_n(x, n, y);
}

// y(i) = 0 - x(i) for i < n: the copy and the negation of racm_wscal with
// alpha = -1 in one pass, with the same values (+0.0 stays +0.0).
inline void racm_wnegcopy(int n, const double* x, double* y) {
#pragma omp simd
  for (int i = 0; i < n; ++i) y[i] = 0.0 - x[i];
}

// y(i) = alpha * x(i) + y(i). A zero alpha is tested first and skips the
// whole update, so infinities or not-a-numbers in x never reach y through a
// term that is absent. The product is rounded before the sum (the build
// forbids contraction into fused multiply-adds).
inline void racm_waxpy(int n, double alpha, const double* x, int /*incx*/,
                       double* y, int /*incy*/) {
  if (alpha == 0.0) return;
#pragma omp simd
  for (int i = 0; i < n; ++i) {
    const double product = alpha * x[i];
    y[i] = product + y[i];
  }
}

// x(i) scaled by alpha, with the cases tested in this order: alpha = 1 does
// nothing; n <= 0 does nothing; alpha = -1 forms 0 - x(i) (so +0.0 stays +0.0
// rather than becoming -0.0); alpha = 0 clears x(i) whatever it held,
// infinities and not-a-numbers included; otherwise alpha * x(i).
inline void racm_wscal(int n, double alpha, double* x, int /*incx*/) {
  if (alpha == 1.0) return;
  if (n <= 0) return;
  if (alpha == -1.0) {
#pragma omp simd
    for (int i = 0; i < n; ++i) x[i] = 0.0 - x[i];
  } else if (alpha == 0.0) {
    for (int i = 0; i < n; ++i) x[i] = 0.0;
  } else {
#pragma omp simd
    for (int i = 0; i < n; ++i) x[i] = alpha * x[i];
  }
}

// sum = a + b, in its own translation unit so that 1 + eps is rounded to a
// stored double before the search below compares it with 1.
void racm_wlamch_add(double a, double b, double& sum);

// The unit roundoff: the smallest power of two eps for which 1 + eps, rounded
// to double, still exceeds 1, doubled. It is searched once, on the first call
// (thread-safe), and returned unchanged afterwards: 2^-52 in IEEE double
// arithmetic. The character argument is not examined. If the search ever
// failed, the line "ERROR IN WLAMCH. EPS < " eps would go to `sink` and the
// language's own epsilon would be used instead.
double racm_wlamch(char c, const LineSink& sink = {});

}  // namespace box
