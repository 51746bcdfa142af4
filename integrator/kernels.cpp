#include "integrator/kernels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace box {

void rounded_sum(double a, double b, double& sum) { sum = a + b; }

// The element-wise kernels that run over long vectors (the stage matrix, and
// the error norm with its divisions) are compiled for the baseline
// instruction set and for wider vector registers, chosen once at load time.
// Packed instructions round each element as the scalar ones do, so every
// form gives the same values.
#ifndef BOX_VECTOR_CLONES
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define BOX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx", "default")))
#else
#define BOX_VECTOR_CLONES
#endif
#endif

BOX_VECTOR_CLONES
void negated_copy(int n, const double* x, double* y) {
#pragma omp simd
  for (int i = 0; i < n; ++i) y[i] = 0.0 - x[i];
}

BOX_VECTOR_CLONES
void scaled_squares(int n, const double* y, const double* ynew, const double* yerr,
                    const double* abstol, const double* reltol, bool vectortol,
                    double* q2) {
  if (vectortol) {
#pragma omp simd
    for (int i = 0; i < n; ++i) {
      const double ymax = std::max(std::abs(ynew[i]), std::abs(y[i]));
      const double q = yerr[i] / (abstol[i] + reltol[i] * ymax);
      q2[i] = q * q;
    }
  } else {
#pragma omp simd
    for (int i = 0; i < n; ++i) {
      const double ymax = std::max(std::abs(ynew[i]), std::abs(y[i]));
      const double q = yerr[i] / (abstol[0] + reltol[0] * ymax);
      q2[i] = q * q;
    }
  }
}

namespace {

// Halve eps from 2^-16 for at most 64 rounds until 1 + eps rounds to 1; the
// roundoff is then twice that eps.
double search_unit_roundoff(const LineSink& sink) {
  double eps = 1.52587890625e-05;  // 0.5^16
  for (int round = 17; round <= 80; ++round) {
    eps = eps * 0.5;
    double sum = 0.0;
    rounded_sum(1.0, eps, sum);
    if (sum <= 1.0) return eps * 2.0;
  }
  if (sink) {
    const std::array<LineItem, 2> line{LineItem{"ERROR IN WLAMCH. EPS < "},
                                       LineItem{eps}};
    sink(line);
  }
  // A value of 2^-80 would make every tolerance test meaningless; the
  // language knows the right answer.
  return std::numeric_limits<double>::epsilon();
}

}  // namespace

double unit_roundoff(char /*c*/, const LineSink& sink) {
  static const double eps = search_unit_roundoff(sink);
  return eps;
}

}  // namespace box
