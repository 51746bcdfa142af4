#include "integrator/kernels.hpp"

#include <array>
#include <limits>

namespace box {

void racm_wlamch_add(double a, double b, double& sum) { sum = a + b; }

namespace {

// Halve eps from 2^-16 for at most 64 rounds until 1 + eps rounds to 1; the
// roundoff is then twice that eps.
double search_unit_roundoff(const LineSink& sink) {
  double eps = 1.52587890625e-05;  // 0.5^16
  for (int round = 17; round <= 80; ++round) {
    eps = eps * 0.5;
    double sum = 0.0;
    racm_wlamch_add(1.0, eps, sum);
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

double racm_wlamch(char /*c*/, const LineSink& sink) {
  static const double eps = search_unit_roundoff(sink);
  return eps;
}

}  // namespace box
