// The derivation of a mechanism read at run time: the order and the fill-in
// on small mechanisms worked by hand, and the loop kernels against finite
// differences of f and a dense solve, on the shipped isoprene subset.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cmath>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "io/mechanism_file.hpp"
#include "mechanism/derivation.hpp"
#include "mechanism/loop_kernels.hpp"
#include "mechanism/native_kernels.hpp"
#include "mechanism/runtime_rates.hpp"

namespace box {
namespace {

bool has_entry(const MechanismDerivation& d, int row_species, int column_species) {
  const int k = d.position[static_cast<std::size_t>(row_species)];
  for (int p = d.row_start[static_cast<std::size_t>(k)]; p < d.row_start[static_cast<std::size_t>(k + 1)]; ++p)
    if (d.column_species[static_cast<std::size_t>(p)] == column_species) return true;
  return false;
}

TEST(Derivation, MinimumDegreeOrderAndFillInWorkedByHand) {
  // A star: H meets A, B and C. Symmetrised pattern: H-A, H-B, H-C.
  // Degrees 3, 1, 1, 1: A then B go first (H's degree falls to 1), then H
  // and C tie at degree 1 and the lower index, H, goes: A, B, H, C with no
  // fill (H first, as in file order, would fill the whole 4 x 4).
  const Mechanism star = read_mechanism_text(
      "VARIABLE H A B C ; % 1 : A + H = ; % 2 : B + H = ; % 3 : C + H = ;", "star.fac");
  const MechanismDerivation s = derive(star);
  EXPECT_EQ(s.order, (std::vector<int>{1, 2, 0, 3}));
  EXPECT_EQ(s.jacobian_entries, 10);
  EXPECT_EQ(s.lu_entries(), 10);
  EXPECT_FALSE(has_entry(s, 1, 2));

  // A cycle A -> B -> C -> D -> A: every degree is 2, the order stays A B
  // C D, and eliminating A from row B fills (B, D), then B from row C fills
  // (C, D): 8 entries of J, 10 of the factors.
  const Mechanism cycle = read_mechanism_text(
      "VARIABLE A B C D ; % 1 : A = B ; % 1 : B = C ; % 1 : C = D ; % 1 : D = A ;", "cycle.fac");
  const MechanismDerivation c = derive(cycle);
  EXPECT_EQ(c.order, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(c.jacobian_entries, 8);
  EXPECT_EQ(c.lu_entries(), 10);
  EXPECT_TRUE(has_entry(c, 1, 3));
  EXPECT_TRUE(has_entry(c, 2, 3));
  EXPECT_FALSE(has_entry(c, 3, 1));
  EXPECT_EQ(c.fill_in(), 2);
}

TEST(Derivation, MarkowitzOrderWorkedByHand) {
  // A product P that reacts with nothing, last in the file, made from A and
  // B, which destroy each other. Off the diagonal J has (P, A), (P, B),
  // (A, B) and (B, A); symmetrised, a triangle of degree 2 everywhere, so
  // minimum degree keeps A B P. Eliminating A then divides (B, A) and (P, A)
  // and updates (B, B) and (P, B); B then divides (P, B): 3 divisions and 2
  // updates. P's column is empty: Markowitz takes it first at no cost;
  // then A and B tie (one column entry, one row entry each) and A, the
  // lower index, divides (B, A) and updates (B, B): 1 division, 1 update,
  // so derive keeps P A B. Neither order fills in.
  const Mechanism sink = read_mechanism_text(
      "VARIABLE A B P ; % 1 : A = P ; % 1 : B = P ; % 1 : A + B = ;", "sink.fac");
  const MechanismDerivation k = derive(sink);
  EXPECT_EQ(k.order, (std::vector<int>{2, 0, 1}));
  EXPECT_EQ(k.lower.size(), 1u);
  EXPECT_EQ(k.update_target.size(), 1u);
  EXPECT_EQ(k.fill_in(), 0);
  const std::vector<std::vector<int>> pattern{{0, 1}, {0, 1}, {0, 1, 2}};
  EXPECT_EQ(minimum_degree_order({{1, 2}, {0, 2}, {0, 1}}), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(elimination_operations(pattern, {0, 1, 2}), 5);
  EXPECT_EQ(elimination_operations(pattern, {2, 0, 1}), 2);
  EXPECT_EQ(markowitz_order(pattern), (std::vector<int>{2, 0, 1}));
}

// The isoprene subset at a daytime state with RO2 frozen (the Jacobian
// holds it fixed by design): each column of J against a central difference
// of f, and the factorisation's solve against a dense Gaussian elimination
// with partial pivoting.
TEST(LoopKernels, JacobianMatchesFiniteDifferencesAndSolveMatchesDenseElimination) {
  const Mechanism m = read_mechanism_file(std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac");
  const MechanismDerivation d = derive(m);
  const int n = d.n;
  const auto sz = [](int i) { return static_cast<std::size_t>(i); };
  std::mt19937_64 random(22);
  std::uniform_real_distribution<double> exponent(4.0, 11.0);
  std::vector<double> y(sz(n));
  for (double& v : y) v = std::pow(10.0, exponent(random));
  RuntimeRates rates(m);
  std::vector<double> j(m.photolysis_channels.size(), 1.0e-4);
  rates.set_conditions(MechanismAir{290.0, 2.4e19, 3.0e17, 1000.0, 60.0}, j);
  rates.update_ro2(y.data());
  ASSERT_EQ(rates.first_bad_reaction(), -1);
  const double* k = rates.k().data();

  std::vector<double> r(sz(d.reactions)), partial(d.partial_reaction.size()), jac(sz(d.lu_entries()));
  loop_jac(d, k, y.data(), partial.data(), jac.data());
  std::vector<std::vector<double>> dense(sz(n), std::vector<double>(sz(n), 0.0));
  for (int kk = 0; kk < n; ++kk)
    for (int p = d.row_start[sz(kk)]; p < d.row_start[sz(kk + 1)]; ++p)
      dense[sz(d.order[sz(kk)])][sz(d.column_species[sz(p)])] = jac[sz(p)];

  // The rounding of f's sums bounds how well a difference can agree: it
  // grows with the sum of the terms' magnitudes.
  loop_rates(d, k, y.data(), r.data());
  std::vector<double> magnitude(sz(n), 0.0);
  for (int i = 0; i < n; ++i)
    for (int q = d.f_start[sz(i)]; q < d.f_start[sz(i + 1)]; ++q)
      magnitude[sz(i)] += std::abs(d.f_coefficient[sz(q)] * r[sz(d.f_reaction[sz(q)])]);
  std::vector<double> fp(sz(n)), fm(sz(n)), yp = y;
  for (int s = 0; s < n; ++s) {
    const double h = 1.0e-3 * y[sz(s)];
    yp[sz(s)] = y[sz(s)] + h;
    loop_fun(d, k, yp.data(), r.data(), fp.data());
    yp[sz(s)] = y[sz(s)] - h;
    loop_fun(d, k, yp.data(), r.data(), fm.data());
    yp[sz(s)] = y[sz(s)];
    double scale = 0.0;
    for (int i = 0; i < n; ++i) scale = std::max(scale, std::abs(dense[sz(i)][sz(s)]));
    for (int i = 0; i < n; ++i) {
      const double fd = (fp[sz(i)] - fm[sz(i)]) / (2.0 * h);
      ASSERT_NEAR(dense[sz(i)][sz(s)], fd, 1.0e-7 * scale + 1.0e-13 * magnitude[sz(i)] / h)
          << m.species[sz(i)] << " by " << m.species[sz(s)];
    }
  }

  // (1/(h gamma)) I - J at a step of 100 s, factorised and solved.
  const double shift = 1.0 / (100.0 * 0.5);
  std::vector<double> lu(sz(d.lu_entries()));
  ASSERT_EQ(loop_decomp_shifted(d, jac.data(), shift, lu.data()), 0);
  std::vector<double> b(sz(n)), x(sz(n));
  for (double& v : b) v = std::pow(10.0, exponent(random)) - 1.0e8;
  x = b;
  loop_solve(d, lu.data(), x.data());
  std::vector<std::vector<double>> a(sz(n), std::vector<double>(sz(n)));
  for (int i = 0; i < n; ++i)
    for (int c = 0; c < n; ++c) a[sz(i)][sz(c)] = (i == c ? shift : 0.0) - dense[sz(i)][sz(c)];
  std::vector<double> z = b;
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int i = c + 1; i < n; ++i)
      if (std::abs(a[sz(i)][sz(c)]) > std::abs(a[sz(p)][sz(c)])) p = i;
    std::swap(a[sz(p)], a[sz(c)]);
    std::swap(z[sz(p)], z[sz(c)]);
    for (int i = c + 1; i < n; ++i) {
      const double l = a[sz(i)][sz(c)] / a[sz(c)][sz(c)];
      if (l == 0.0) continue;
      for (int q = c; q < n; ++q) a[sz(i)][sz(q)] -= l * a[sz(c)][sz(q)];
      z[sz(i)] -= l * z[sz(c)];
    }
  }
  for (int i = n - 1; i >= 0; --i) {
    double v = z[sz(i)];
    for (int q = i + 1; q < n; ++q) v -= a[sz(i)][sz(q)] * z[sz(q)];
    z[sz(i)] = v / a[sz(i)][sz(i)];
  }
  double largest = 0.0;
  for (double v : z) largest = std::max(largest, std::abs(v));
  for (int i = 0; i < n; ++i) EXPECT_NEAR(x[sz(i)], z[sz(i)], 1.0e-10 * largest) << m.species[sz(i)];
}

}  // namespace
}  // namespace box

namespace box {
namespace {

// The lane form over four boxes in different states of the isoprene subset
// (one of them with a singular stage matrix, one with species at zero)
// against the one-box kernels: every lane the same bits, every lane's pivot
// status its own. The machine code written for the mechanism gives each
// box the loops' bits too.
TEST(LoopKernels, LanesAndMachineCodeGiveEachBoxTheOneBoxBits) {
  const Mechanism m = read_mechanism_file(std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mcm/mcm331-isoprene.fac");
  const MechanismDerivation d = derive(m);
  const std::unique_ptr<const NativeKernels> native = NativeKernels::write(d);
  ASSERT_EQ(native != nullptr, NativeKernels::supported());
  constexpr int L = loop_lanes;
  const auto sz = [](int i) { return static_cast<std::size_t>(i); };
  const std::size_t n = sz(d.n), nr = sz(d.reactions), np = d.partial_reaction.size(),
                    nlu = sz(d.lu_entries());
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> exponent(2.0, 12.0);
  struct Box {
    std::vector<double> k, y, r, f, partial, jac, lu, x;
    int status = 0;
  };
  std::array<Box, L> box;
  const std::array<double, L> shift{1.0 / 50.0, 1.0 / 0.7, 3.0e-4, 0.0};
  for (int l = 0; l < L; ++l) {
    Box& b = box[sz(l)];
    b.y.resize(n);
    for (double& v : b.y) v = std::pow(10.0, exponent(random));
    // Lane 2: every fifth species absent, so that many rates and partial
    // derivatives are zero.
    if (l == 2)
      for (std::size_t s = 0; s < n; s += 5) b.y[s] = 0.0;
    RuntimeRates rates(m);
    std::vector<double> j(m.photolysis_channels.size(), 1.0e-5 * (l + 1));
    rates.set_conditions(MechanismAir{270.0 + 10.0 * l, 2.0e19 + 1.0e18 * l, 1.0e17 * l, 1000.0, 50.0}, j);
    rates.update_ro2(b.y.data());
    b.k = rates.k();
    b.r.resize(nr);
    b.f.resize(n);
    b.partial.resize(np);
    b.jac.resize(nlu);
    b.lu.resize(nlu);
    loop_fun(d, b.k.data(), b.y.data(), b.r.data(), b.f.data());
    loop_jac(d, b.k.data(), b.y.data(), b.partial.data(), b.jac.data());
    // Lane 3: a zero Jacobian and no shift, so that the first pivot is zero.
    if (l == 3)
      for (std::size_t e = 0; e < nlu; ++e) b.jac[e] = 0.0;
    b.status = loop_decomp_shifted(d, b.jac.data(), shift[sz(l)], b.lu.data());
    b.x = b.f;
    if (b.status == 0) loop_solve(d, b.lu.data(), b.x.data());
    if (native) {
      std::vector<double> r(nr), f(n), partial(np), jac(nlu), x = b.f;
      native->fun(b.k.data(), b.y.data(), r.data(), f.data());
      native->jac(b.k.data(), b.y.data(), partial.data(), jac.data());
      if (b.status == 0) native->solve(b.lu.data(), x.data());
      if (l == 3) std::fill(jac.begin(), jac.end(), 0.0);
      for (const auto& [code, loop, what] : {std::tuple{&r, &b.r, "r"}, {&f, &b.f, "f"}, {&partial, &b.partial, "partial"},
                                             {&jac, &b.jac, "jac"}, {&x, &b.x, "x"}})
        ASSERT_EQ(std::memcmp(code->data(), loop->data(), code->size() * sizeof(double)), 0)
            << what << " of box " << l << " in machine code";
    }
  }
  ASSERT_EQ(box[0].status, 0);
  ASSERT_EQ(box[1].status, 0);
  ASSERT_EQ(box[2].status, 0);
  ASSERT_EQ(box[3].status, 1);

  const auto interleave = [&](auto member, std::size_t size) {
    std::vector<double> v(size * L);
    for (std::size_t e = 0; e < size; ++e)
      for (int l = 0; l < L; ++l) v[e * L + sz(l)] = (box[sz(l)].*member)[e];
    return v;
  };
  const auto same_bits = [&](const std::vector<double>& lanes, auto member, std::size_t size, const char* what,
                             int lanes_checked) {
    for (int l = 0; l < lanes_checked; ++l)
      for (std::size_t e = 0; e < size; ++e)
        ASSERT_EQ(std::memcmp(&lanes[e * L + sz(l)], &(box[sz(l)].*member)[e], sizeof(double)), 0)
            << what << " entry " << e << " lane " << l;
  };
  const std::vector<double> k = interleave(&Box::k, nr), y = interleave(&Box::y, n);
  std::vector<double> r(nr * L), f(n * L), partial(np * L), jac(nlu * L), lu(nlu * L);
  loop_fun_lanes(d, k.data(), y.data(), r.data(), f.data());
  same_bits(r, &Box::r, nr, "r", L);
  same_bits(f, &Box::f, n, "f", L);
  loop_jac_lanes(d, k.data(), y.data(), partial.data(), jac.data());
  same_bits(partial, &Box::partial, np, "partial", L);
  for (std::size_t e = 0; e < nlu; ++e) jac[e * L + 3] = 0.0;
  same_bits(jac, &Box::jac, nlu, "jac", L);
  const LaneStatus status = loop_decomp_shifted_lanes(d, jac.data(), shift, lu.data());
  EXPECT_EQ(status, (LaneStatus{0, 0, 0, 1}));
  same_bits(lu, &Box::lu, nlu, "lu", 3);  // lane 3's factors are of no use
  std::vector<double> x = f;
  loop_solve_lanes(d, lu.data(), x.data());
  same_bits(x, &Box::x, n, "x", 3);
}

}  // namespace
}  // namespace box
