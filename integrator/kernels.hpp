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
inline void vector_copy(int n, const double* x, int /*incx*/, double* y,
                        int /*incy*/) {
  if (n > 0) std::copy_n(x, n, y);
}

// y(i) = 0 - x(i) for i < n: the copy and the negation of scale_vector with
// alpha = -1 in one pass, with the same values (+0.0 stays +0.0). Out of
// line: it runs once per attempted step over the whole stage matrix, in the
// widest vector form the processor offers (see kernels.cpp).
void negated_copy(int n, const double* x, double* y);

// q2(i) = (yerr(i) / (abstol(i) + reltol(i) * max(|ynew(i)|, |y(i)|)))^2 for
// i < n, with abstol(0) and reltol(0) for every i when `vectortol` is false:
// the squared scaled errors of the error norm, element by element.
void scaled_squares(int n, const double* y, const double* ynew, const double* yerr,
                    const double* abstol, const double* reltol, bool vectortol,
                    double* q2);

// y(i) = alpha * x(i) + y(i). A zero alpha is tested first and skips the
// whole update, so infinities or not-a-numbers in x never reach y through a
// term that is absent. The product is rounded before the sum (the build
// forbids contraction into fused multiply-adds).
inline void axpy(int n, double alpha, const double* x, int /*incx*/,
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
inline void scale_vector(int n, double alpha, double* x, int /*incx*/) {
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

// One term alpha * x of a sum of vectors.
struct VectorTerm {
  double alpha;
  const double* x;
};

namespace detail {
template <int count, bool from_zero>
inline void sum_terms(int n, const double* base, const VectorTerm* terms, double* out) {
  double alpha[count + 1];
  const double* x[count + 1];
  for (int t = 0; t < count; ++t) {
    alpha[t] = terms[t].alpha;
    x[t] = terms[t].x;
  }
#pragma omp simd
  for (int i = 0; i < n; ++i) {
    double s = from_zero ? 0.0 : base[i];
#pragma GCC unroll 8
    for (int t = 0; t < count; ++t) {
      const double product = alpha[t] * x[t][i];
      s = product + s;
    }
    out[i] = s;
  }
}

template <bool from_zero>
inline void sum_terms(int n, const double* base, const VectorTerm* terms, int count,
                      double* out) {
  switch (count) {
    case 0: return sum_terms<0, from_zero>(n, base, terms, out);
    case 1: return sum_terms<1, from_zero>(n, base, terms, out);
    case 2: return sum_terms<2, from_zero>(n, base, terms, out);
    default:
      sum_terms<3, from_zero>(n, base, terms, out);
      for (int t = 3; t < count; ++t) axpy(n, terms[t].alpha, terms[t].x, 1, out, 1);
  }
}
}  // namespace detail

// out(i) = base(i) (or 0.0 when base is null), then each term alpha * x(i)
// added in turn, in the order given: the values of vector_copy (or
// scale_vector with alpha = 0) followed by one axpy per term, including
// the skipping of a term whose alpha is 0.0, but in one pass over the
// elements instead of one per term. out overlaps none of the inputs.
inline void weighted_sum(int n, const double* base, const VectorTerm* terms, int count,
                         double* out) {
  constexpr int most = 8;  // more terms than any method has
  if (count > most) {
    if (base == nullptr) {
      scale_vector(n, 0.0, out, 1);
    } else {
      vector_copy(n, base, 1, out, 1);
    }
    for (int t = 0; t < count; ++t) axpy(n, terms[t].alpha, terms[t].x, 1, out, 1);
    return;
  }
  VectorTerm kept[most];
  int k = 0;
  for (int t = 0; t < count; ++t)
    if (terms[t].alpha != 0.0) kept[k++] = terms[t];
  if (base == nullptr) {
    detail::sum_terms<true>(n, nullptr, kept, k, out);
  } else {
    detail::sum_terms<false>(n, base, kept, k, out);
  }
}

// sum = a + b, in its own translation unit so that 1 + eps is rounded to a
// stored double before the search below compares it with 1.
void rounded_sum(double a, double b, double& sum);

// The unit roundoff: the smallest power of two eps for which 1 + eps, rounded
// to double, still exceeds 1, doubled. It is searched once, on the first call
// (thread-safe), and returned unchanged afterwards: 2^-52 in IEEE double
// arithmetic. The character argument is not examined. If the search ever
// failed, the line "ERROR IN WLAMCH. EPS < " eps would go to `sink` and the
// language's own epsilon would be used instead.
double unit_roundoff(char c, const LineSink& sink = {});

}  // namespace box
