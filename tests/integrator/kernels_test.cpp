// Vector kernels and the unit roundoff.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "integrator/kernels.hpp"

namespace box {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(Wlamch, IsTwoToTheMinus52OnEveryCall) {
  EXPECT_EQ(unit_roundoff('E'), 0x1p-52);
  EXPECT_EQ(unit_roundoff('E'), 2.220446049250313e-16);
  double other = 0.0;
  std::thread t([&] { other = unit_roundoff('x'); });
  t.join();
  EXPECT_EQ(other, 0x1p-52);
}

TEST(Waxpy, ZeroAlphaLeavesYAloneWhateverXHolds) {
  const double x[3] = {inf, nan, -inf};
  double y[3] = {1.0, -2.0, 3.0};
  axpy(3, 0.0, x, 1, y, 1);
  EXPECT_EQ(y[0], 1.0);
  EXPECT_EQ(y[1], -2.0);
  EXPECT_EQ(y[2], 3.0);
  axpy(3, -0.0, x, 1, y, 1);
  EXPECT_EQ(y[1], -2.0);
}

TEST(Waxpy, RoundsTheProductBeforeTheSum) {
  // (1 + 2^-30)^2 = 1 + 2^-29 + 2^-60: rounded first, the 2^-60 is lost and
  // the sum cancels to 0; a fused multiply-add would leave 2^-60.
  const double a = 1.0 + 0x1p-30;
  const double x[1] = {a};
  double y[1] = {-(1.0 + 0x1p-29)};
  axpy(1, a, x, 1, y, 1);
  EXPECT_EQ(y[0], 0.0);
}

TEST(Wscal, MinusOneTurnsZeroIntoPositiveZero) {
  double x[3] = {0.0, -0.0, 2.5};
  scale_vector(3, -1.0, x, 1);
  EXPECT_EQ(x[0], 0.0);
  EXPECT_FALSE(std::signbit(x[0]));
  EXPECT_FALSE(std::signbit(x[1]));
  EXPECT_EQ(x[2], -2.5);
}

// The element-wise loops run two elements at a time with a scalar tail: an
// odd length checks both halves against the one-element definition.
TEST(Wnegcopy, EqualsCopyThenNegationOnEveryElementOfAnOddLength) {
  const double x[7] = {0.0, -0.0, 2.5, -inf, 1e-310, 3.0, -0.0};
  double expected[7];
  vector_copy(7, x, 1, expected, 1);
  scale_vector(7, -1.0, expected, 1);
  double y[7];
  negated_copy(7, x, y);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(y[i], expected[i]) << i;
    EXPECT_EQ(std::signbit(y[i]), std::signbit(expected[i])) << i;
  }
  // The tail element rounds its product before the sum like the others.
  const double a = 1.0 + 0x1p-30;
  const double ax[3] = {a, a, a};
  double ay[3] = {-(1.0 + 0x1p-29), -(1.0 + 0x1p-29), -(1.0 + 0x1p-29)};
  axpy(3, a, ax, 1, ay, 1);
  for (double v : ay) EXPECT_EQ(v, 0.0);
}

// The one-pass sum gives, bit for bit, what a copy (or clearing) followed
// by one axpy per term gives: the same products rounded, added in the
// same order, zero coefficients skipped (so a not-a-number in their vector
// never arrives), signed zeros as they fall; for every count of terms,
// including counts beyond the unrolled three and beyond eight.
TEST(Wsum, EqualsCopyThenOneWaxpyPerTerm) {
  constexpr int n = 7;
  double x[10][n];
  for (int t = 0; t < 10; ++t)
    for (int i = 0; i < n; ++i) x[t][i] = (i % 3 == 0 ? -1.0 : 1.0) * (1.0 + 0x1p-30 * (t + i));
  x[2][4] = nan;
  x[0][1] = 0.0;
  x[1][1] = 0.0;  // a -0.0 product
  const double base[n] = {1.0, -0.0, 3.0, -(1.0 + 0x1p-29), 1e300, -2.0, 0.25};
  const double alpha[10] = {0.5, -(1.0 + 0x1p-30), 0.0, 1e-300, 3.0, -0.0, 7.0, 0.125, 2.0, -1.0};
  for (int count = 0; count <= 10; ++count) {
    VectorTerm terms[10];
    for (int t = 0; t < count; ++t) terms[t] = {alpha[t], x[t]};
    for (const double* start : {base, static_cast<const double*>(nullptr)}) {
      double expected[n];
      if (start == nullptr) {
        scale_vector(n, 0.0, expected, 1);
      } else {
        vector_copy(n, start, 1, expected, 1);
      }
      for (int t = 0; t < count; ++t) axpy(n, alpha[t], x[t], 1, expected, 1);
      double got[n];
      weighted_sum(n, start, terms, count, got);
      for (int i = 0; i < n; ++i) {
        EXPECT_EQ(std::memcmp(&got[i], &expected[i], sizeof(double)), 0)
            << "count " << count << ", element " << i << (start ? "" : ", from zero");
      }
    }
  }
}

TEST(Wscal, ZeroClearsInfinitiesAndNotANumbers) {
  double x[3] = {inf, nan, -1.0};
  scale_vector(3, 0.0, x, 1);
  for (double v : x) {
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(std::signbit(v));
  }
}

TEST(Wscal, OneAndNonPositiveLengthDoNothing) {
  double x[2] = {-0.0, nan};
  scale_vector(2, 1.0, x, 1);
  EXPECT_TRUE(std::signbit(x[0]));
  scale_vector(0, 0.0, x, 1);
  EXPECT_TRUE(std::isnan(x[1]));
}

}  // namespace
}  // namespace box
