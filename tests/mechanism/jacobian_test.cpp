#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "mechanism/mechanism.hpp"
#include "mechanism/structure.hpp"
#include "tests/mechanism/daytime_state.hpp"

namespace box {
namespace {

using test::State;
using Matrix = std::array<double, lu_nonzero>;

Matrix jacobian(const State& v, double prefill) {
  Matrix jvs;
  jvs.fill(prefill);
  racm_jac_sp(v.data(), test::daytime_fixed().data(), test::daytime_rates().data(), jvs.data());
  return jvs;
}

// Each derivative is at most quadratic in any one concentration (a
// self-reaction), so a central difference is exact up to rounding whatever
// the step: a large step keeps the rounding error small, and the comparison
// can be tight.
TEST(Jacobian, MatchesCentralDifferencesEverywhere) {
  const State v = test::daytime_state();
  const auto f = test::daytime_fixed();
  const auto r = test::daytime_rates();
  const State gross = test::gross_rates(v, f, r);
  const Matrix jvs = jacobian(v, std::numeric_limits<double>::quiet_NaN());
  const double eps = std::numeric_limits<double>::epsilon();
  int checked = 0;
  for (int j = 1; j <= nvar; ++j) {
    State up = v, down = v, d_up, d_down;
    up[at(j)] = 1.5 * v[at(j)];
    down[at(j)] = 0.5 * v[at(j)];
    racm_fun(up.data(), f.data(), r.data(), d_up.data());
    racm_fun(down.data(), f.data(), r.data(), d_down.data());
    const double step = up[at(j)] - down[at(j)];
    for (int i = 1; i <= nvar; ++i) {
      const double fd = (d_up[at(i)] - d_down[at(i)]) / step;
      const int k = mech::pattern.position[at(i)][at(j)];
      if (!mech::jacobian_positions[at(i)][at(j)]) {
        // Outside the Jacobian's positions nothing depends on v(j).
        EXPECT_EQ(fd, 0.0) << "row " << i << " column " << j;
        continue;
      }
      ++checked;
      const double tol = 1e-12 * std::fabs(jvs[at(k)]) + 16 * eps * 2.0 * gross[at(i)] / step;
      EXPECT_NEAR(jvs[at(k)], fd, tol) << "row " << i << " column " << j;
    }
  }
  EXPECT_EQ(checked, nonzero);
}

TEST(Jacobian, FillInAndEmptyDiagonalsAreExactlyZero) {
  for (double prefill : {std::numeric_limits<double>::quiet_NaN(), 1.0, -0.0}) {
    const Matrix jvs = jacobian(test::daytime_state(), prefill);
    int zeros = 0;
    for (int k = 1; k <= lu_nonzero; ++k) {
      const int i = lu_irow[at(k)], j = lu_icol[at(k)];
      if (mech::linked_positions[at(i)][at(j)]) {
        EXPECT_TRUE(std::isfinite(jvs[at(k)])) << k;
        continue;
      }
      EXPECT_EQ(jvs[at(k)], 0.0) << "entry " << k;
      EXPECT_FALSE(std::signbit(jvs[at(k)])) << "entry " << k;
      ++zeros;
    }
    EXPECT_EQ(zeros, 149 + 4);
  }
  const Matrix jvs = jacobian(test::daytime_state(), 1.0);
  for (int s : {ind_sulf, ind_co2, ind_ora1, ind_ora2}) EXPECT_EQ(jvs[at(lu_diag[at(s)])], 0.0);
}

TEST(Jacobian, SelfReactionDiagonal) {
  // d/d[HO2] of -2 k36 [HO2]^2 is -2 (2 k36 [HO2]); likewise for 37 with H2O.
  const State v = test::daytime_state();
  const auto f = test::daytime_fixed();
  std::array<double, nreact> r{};
  r[at(36)] = 2.9e-12;
  Matrix jvs;
  racm_jac_sp(v.data(), f.data(), r.data(), jvs.data());
  EXPECT_EQ(jvs[at(lu_diag[at(ind_ho2)])], -2.0 * (2.0 * r[at(36)] * v[at(ind_ho2)]));
}

TEST(Pattern, RowsAsTheChemistryShapesThem) {
  auto entries = [](int i) { return lu_crow[at(i + 1)] - lu_crow[at(i)]; };
  auto below = [](int i) { return lu_diag[at(i)] - lu_crow[at(i)]; };
  EXPECT_EQ(entries(ind_ho), 65);
  EXPECT_EQ(below(ind_ho), 62);
  EXPECT_EQ(entries(ind_ho2), 63);
  EXPECT_EQ(entries(ind_no2), 50);
  EXPECT_EQ(lu_diag[at(ind_no2)] + 1, lu_crow[at(ind_no2 + 1)]);  // nothing right of NO2's diagonal
  for (int i = 1; i < 24; ++i) EXPECT_EQ(below(i), 0) << i;
  EXPECT_GT(below(24), 0);
  // Row 24 (ADDT): TOL, ADDT, O3, HO, NO2.
  const int cols[] = {ind_tol, ind_addt, ind_o3, ind_ho, ind_no2};
  for (int m = 0; m < 5; ++m) EXPECT_EQ(lu_icol[at(112 + m)], cols[m]);
  for (int k = 1; k <= lu_nonzero; ++k) {
    EXPECT_GE(k, lu_crow[at(lu_irow[at(k)])]);
    EXPECT_LT(k, lu_crow[at(lu_irow[at(k)] + 1)]);
  }
}

}  // namespace
}  // namespace box
