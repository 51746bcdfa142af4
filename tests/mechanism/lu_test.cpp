#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "mechanism/mechanism.hpp"
#include "mechanism/sparse_lu_loop.hpp"
#include "tests/mechanism/daytime_state.hpp"

namespace box {
namespace {

using Matrix = std::array<double, lu_nonzero>;
using Vector = std::array<double, nvar>;

// A random matrix on the pattern, strictly diagonally dominant by rows so
// that elimination without pivoting is stable.
Matrix random_matrix(std::mt19937_64& rng, double diagonal_sign = 1.0) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Matrix a;
  for (int i = 1; i <= nvar; ++i) {
    double off = 0.0;
    for (int k = lu_crow[at(i)]; k < lu_crow[at(i + 1)]; ++k) {
      if (k == lu_diag[at(i)]) continue;
      a[at(k)] = u(rng);
      off += std::fabs(a[at(k)]);
    }
    a[at(lu_diag[at(i)])] = diagonal_sign * (1.0 + off + std::fabs(u(rng)));
  }
  return a;
}

Vector multiply(const Matrix& a, const Vector& x) {
  Vector y{};
  for (int k = 1; k <= lu_nonzero; ++k) y[at(lu_irow[at(k)])] += a[at(k)] * x[at(lu_icol[at(k)])];
  return y;
}

bool same_bits(const double* a, const double* b, int n) {
  return std::memcmp(a, b, sizeof(double) * static_cast<std::size_t>(n)) == 0;
}

TEST(SparseLU, SolvesRandomSystemsOnThePattern) {
  std::mt19937_64 rng(20261207);
  std::uniform_real_distribution<double> u(-10.0, 10.0);
  for (int trial = 0; trial < 20; ++trial) {
    const Matrix a = random_matrix(rng, trial % 2 ? -1.0 : 1.0);
    Vector x_known;
    for (double& x : x_known) x = u(rng);
    Matrix lu = a;
    int ier = -1;
    decomp_racm(lu.data(), ier);
    ASSERT_EQ(ier, 0);
    Vector x = multiply(a, x_known);
    racm_solve(lu.data(), x.data());
    for (int i = 1; i <= nvar; ++i) EXPECT_NEAR(x[at(i)], x_known[at(i)], 1e-12 * 10.0) << i;
  }
}

// The straight-line kernels do exactly what the loops over the index
// tables do, in the same order: the results agree bit for bit.
void expect_same_as_loop_form(const Matrix& a, const Vector& rhs) {
  Matrix straight = a, loop = a;
  int ier_straight = -1, ier_loop = -1;
  decomp_racm(straight.data(), ier_straight);
  decomp_racm_loop(loop.data(), ier_loop);
  ASSERT_EQ(ier_straight, ier_loop);
  EXPECT_TRUE(same_bits(straight.data(), loop.data(), lu_nonzero));
  if (ier_straight != 0) return;
  Vector xs = rhs, xl = rhs;
  racm_solve(straight.data(), xs.data());
  racm_solve_loop(loop.data(), xl.data());
  EXPECT_TRUE(same_bits(xs.data(), xl.data(), nvar));
}

TEST(SparseLU, StraightLineEqualsLoopForm) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Vector rhs;
  for (double& x : rhs) x = u(rng);
  for (int trial = 0; trial < 10; ++trial) expect_same_as_loop_form(random_matrix(rng), rhs);

  // The integrator's matrix at a daytime state: I/(h gamma) - J.
  const auto v = test::daytime_state();
  Matrix jvs;
  racm_jac_sp(v.data(), test::daytime_fixed().data(), test::daytime_rates().data(), jvs.data());
  for (double h : {1e-3, 1.0, 300.0}) {
    Matrix a;
    for (int k = 0; k < lu_nonzero; ++k)
      a[static_cast<std::size_t>(k)] = -jvs[static_cast<std::size_t>(k)];
    for (int i = 1; i <= nvar; ++i) a[at(lu_diag[at(i)])] += 1.0 / (h * 0.43586652150845899);
    expect_same_as_loop_form(a, v);
  }
}

// The generated factorisation subtracts q * u where the loop form adds
// (0 - q) * u, and stores q + 0.0 where it stores 0 - (0 - q): identities of
// IEEE arithmetic that hinge on signed zeros. Matrices full of exact zeros
// (as 0 - J has wherever a concentration is zero) with negative pivots, so
// that +0 / pivot = -0, and with infinities and not-a-numbers among the
// entries must still give the loop form's bits.
TEST(SparseLU, SignedZerosAndSpecialValuesMatchLoopForm) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::uniform_int_distribution<int> pick(0, 3);
  Vector rhs;
  for (double& x : rhs) x = pick(rng) == 0 ? 0.0 : u(rng);
  for (int trial = 0; trial < 20; ++trial) {
    Matrix a = random_matrix(rng, trial % 2 ? -1.0 : 1.0);
    for (int k = 1; k <= lu_nonzero; ++k)
      if (lu_irow[at(k)] != lu_icol[at(k)] && pick(rng) != 0) a[at(k)] = 0.0 - 0.0;
    expect_same_as_loop_form(a, rhs);
  }
  Matrix a = random_matrix(rng, -1.0);
  a[at(lu_crow[at(nvar)])] = std::numeric_limits<double>::infinity();
  a[at(lu_crow[at(nvar - 1)])] = std::numeric_limits<double>::quiet_NaN();
  expect_same_as_loop_form(a, rhs);

  // I/(h gamma) - J at a state where every other species is absent.
  auto v = test::daytime_state();
  for (std::size_t i = 0; i < v.size(); i += 2) v[i] = 0.0;
  Matrix jvs;
  racm_jac_sp(v.data(), test::daytime_fixed().data(), test::daytime_rates().data(), jvs.data());
  for (int k = 0; k < lu_nonzero; ++k)
    a[static_cast<std::size_t>(k)] = 0.0 - jvs[static_cast<std::size_t>(k)];
  for (int i = 1; i <= nvar; ++i) a[at(lu_diag[at(i)])] += 1.0 / (300.0 * 0.43586652150845899);
  expect_same_as_loop_form(a, v);
}

// The factorisation that forms 0 - J + shift I as it goes must give what
// forming the matrix first and factorising it gives, bit for bit, and the
// same ier when a pivot is unusable (the rows from there on are left
// unspecified, so only the rows before are compared then).
TEST(SparseLU, ShiftedEqualsFormingTheMatrixFirst) {
  const auto expect_same = [](const Matrix& jac, double shift) -> int {
    Matrix formed;
    for (int k = 0; k < lu_nonzero; ++k)
      formed[static_cast<std::size_t>(k)] = 0.0 - jac[static_cast<std::size_t>(k)];
    for (int i = 1; i <= nvar; ++i) formed[at(lu_diag[at(i)])] = formed[at(lu_diag[at(i)])] + shift;
    int ier_formed = -1, ier_shifted = -1;
    decomp_racm(formed.data(), ier_formed);
    Matrix shifted;
    shifted.fill(std::numeric_limits<double>::quiet_NaN());
    decomp_racm_shifted(jac.data(), shift, shifted.data(), ier_shifted);
    EXPECT_EQ(ier_shifted, ier_formed) << "shift " << shift;
    if (ier_shifted != ier_formed) return -1;
    const int rows = ier_formed == 0 ? nvar : ier_formed - 1;
    EXPECT_TRUE(same_bits(shifted.data(), formed.data(), lu_crow[at(rows + 1)] - 1)) << "shift " << shift;
    return ier_formed;
  };
  const auto v = test::daytime_state();
  Matrix jvs;
  racm_jac_sp(v.data(), test::daytime_fixed().data(), test::daytime_rates().data(), jvs.data());
  for (double h : {1e-3, 1.0, 300.0}) expect_same(jvs, 1.0 / (h * 0.43586652150845899));
  // Random matrices full of zeros, with both signs of shift.
  std::mt19937_64 rng(5);
  std::uniform_int_distribution<int> pick(0, 2);
  for (int trial = 0; trial < 10; ++trial) {
    Matrix jac = random_matrix(rng, trial % 2 ? -1.0 : 1.0);
    for (double& x : jac)
      if (pick(rng) == 0) x = 0.0;
    for (int i = 1; i <= nvar; ++i) jac[at(lu_diag[at(i)])] = -jac[at(lu_diag[at(i)])];
    expect_same(jac, trial % 2 ? 0.5 : -0.5);
  }
  // A pivot that is unusable as supplied (the shift cancels it exactly),
  // at the first, a middle and the last row.
  for (const int row : {1, 30, nvar}) {
    Matrix jac = jvs;
    jac[at(lu_diag[at(row)])] = 2.0;
    EXPECT_EQ(expect_same(jac, 2.0), row);
  }
}

TEST(SparseLU, DiagonalMatrixFactorsToItself) {
  Matrix a{};
  for (int i = 1; i <= nvar; ++i) a[at(lu_diag[at(i)])] = 0.5 + i;
  Matrix lu = a;
  int ier = -1;
  decomp_racm(lu.data(), ier);
  EXPECT_EQ(ier, 0);
  EXPECT_TRUE(same_bits(lu.data(), a.data(), lu_nonzero));
  Vector x;
  for (int i = 1; i <= nvar; ++i) x[at(i)] = 3.0 * i;
  racm_solve(lu.data(), x.data());
  for (int i = 1; i <= nvar; ++i) EXPECT_EQ(x[at(i)], 3.0 * i / (0.5 + i));
}

// A bad pivot stops the factorisation at its row: earlier rows hold their
// factors, that row and the later ones what the caller supplied.
void expect_stops_at(int row, double pivot) {
  std::mt19937_64 rng(static_cast<unsigned>(row));
  const Matrix good = random_matrix(rng);
  Matrix factored = good;
  int ier = -1;
  decomp_racm(factored.data(), ier);
  ASSERT_EQ(ier, 0);

  Matrix bad = good;
  bad[at(lu_diag[at(row)])] = pivot;
  Matrix lu = bad;
  decomp_racm(lu.data(), ier);
  EXPECT_EQ(ier, row) << "pivot " << pivot;
  const int split = lu_crow[at(row)];
  EXPECT_TRUE(same_bits(lu.data(), factored.data(), split - 1));
  EXPECT_TRUE(same_bits(lu.data() + at(split), bad.data() + at(split), lu_nonzero - split + 1));
  Matrix loop = bad;
  int ier_loop = -1;
  decomp_racm_loop(loop.data(), ier_loop);
  EXPECT_EQ(ier_loop, row);
  EXPECT_TRUE(same_bits(lu.data(), loop.data(), lu_nonzero));
}

TEST(SparseLU, ReportsTheFirstUnusablePivot) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double pivot : {0.0, -0.0, 1.0e-310, nan}) {
    expect_stops_at(1, pivot);
    expect_stops_at(24, pivot);  // a row with an L part
    expect_stops_at(30, pivot);
    expect_stops_at(nvar, pivot);
  }
  // Only the magnitude is tested: a negative pivot passes, and so does the
  // smallest normal number.
  for (double pivot : {-5.0, std::numeric_limits<double>::min()}) {
    std::mt19937_64 rng(3);
    Matrix a = random_matrix(rng);
    a[at(lu_diag[at(30)])] = pivot;
    int ier = -1;
    decomp_racm(a.data(), ier);
    EXPECT_NE(ier, 30);
  }
}

// A pivot that is fine as supplied but cancels exactly during its row's
// elimination is reported at that row, before any later row divides by it.
TEST(SparseLU, ReportsAPivotThatCancels) {
  // The first row k with an L entry (k, j) whose row j has an entry in
  // column k: then U(k, k) = a(k, k) - a(k, j) a(j, k) / a(j, j).
  int k = 0, j = 0;
  for (int row = 1; row <= nvar && k == 0; ++row)
    for (int m = lu_crow[at(row)]; m < lu_diag[at(row)] && k == 0; ++m)
      for (int p = lu_diag[at(lu_icol[at(m)])] + 1; p < lu_crow[at(lu_icol[at(m)] + 1)]; ++p)
        if (lu_icol[at(p)] == row) {
          k = row;
          j = lu_icol[at(m)];
        }
  ASSERT_GT(k, 0);
  auto entry = [](int row, int col) {
    for (int m = lu_crow[at(row)]; m < lu_crow[at(row + 1)]; ++m)
      if (lu_icol[at(m)] == col) return m;
    return 0;
  };
  Matrix a{};
  for (int i = 1; i <= nvar; ++i) a[at(lu_diag[at(i)])] = 1.0;
  a[at(entry(k, j))] = 2.0;
  a[at(entry(j, k))] = 0.5;  // U(k, k) = 1 - 2 * 0.5 / 1 = 0
  for (auto* decomp : {&decomp_racm, &decomp_racm_loop}) {
    Matrix lu = a;
    int ier = -1;
    decomp(lu.data(), ier);
    EXPECT_EQ(ier, k);
    EXPECT_EQ(lu[at(lu_diag[at(k)])], 0.0);
    EXPECT_TRUE(same_bits(lu.data() + at(lu_crow[at(k + 1)]), a.data() + at(lu_crow[at(k + 1)]),
                          lu_nonzero - lu_crow[at(k + 1)] + 1));
  }
}

}  // namespace
}  // namespace box
