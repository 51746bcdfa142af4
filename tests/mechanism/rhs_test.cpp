#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>

#include "mechanism/mechanism.hpp"
#include "tests/mechanism/daytime_state.hpp"

namespace box {
namespace {

using test::Fixed;
using test::Rates;
using test::State;

State derivatives(const State& v, const Fixed& f, const Rates& r) {
  State vdot;
  vdot.fill(-1.0);
  racm_fun(v.data(), f.data(), r.data(), vdot.data());
  return vdot;
}

// Reaction n alone, with every concentration 1: the derivatives are the net
// coefficients of the reaction.
State net_change(int n, const Fixed& f = {1.0, 1.0}) {
  State v;
  v.fill(1.0);
  Rates r{};
  r[at(n)] = 1.0;
  return derivatives(v, f, r);
}

TEST(RightHandSide, NothingHappensWithoutReactantsOrCoefficients) {
  const State zero{};
  for (double x : derivatives(zero, test::daytime_fixed(), test::daytime_rates()))
    EXPECT_EQ(x, 0.0);
  for (double x : derivatives(test::daytime_state(), test::daytime_fixed(), Rates{}))
    EXPECT_EQ(x, 0.0);
}

TEST(RightHandSide, CatalystsAndPartlyRegeneratedReactants) {
  // NO3 + NO2 -> NO + NO2: NO2 only catalyses.
  const State r55 = net_change(55);
  EXPECT_EQ(r55[at(ind_no2)], 0.0);
  EXPECT_EQ(r55[at(ind_no3)], -1.0);
  EXPECT_EQ(r55[at(ind_no)], 1.0);
  EXPECT_EQ(net_change(188)[at(ind_mo2)], 0.0);
  EXPECT_EQ(net_change(209)[at(ind_aco3)], 0.0);
  // One net constant, never a production and a loss term.
  const std::pair<std::pair<int, int>, double> partly[] = {
      {{66, ind_ho}, -0.964},   {{88, ind_ho}, -0.65},    {{89, ind_ho}, -0.51},
      {{176, ind_mo2}, -0.993}, {{177, ind_mo2}, -0.951}, {{108, ind_no3}, -0.4},
      {{210, ind_aco3}, -0.88},
  };
  for (const auto& [where, c] : partly)
    EXPECT_EQ(net_change(where.first)[at(where.second)], c) << "reaction " << where.first;
}

TEST(RightHandSide, SelfReactions) {
  const std::pair<int, int> self[] = {{36, ind_ho2},   {37, ind_ho2},   {53, ind_no},
                                      {58, ind_no3},   {174, ind_mo2},  {208, ind_aco3},
                                      {213, ind_olnn}, {215, ind_olnd}, {238, ind_xo2},
                                      {247, ind_bro},  {248, ind_bro}};
  for (const auto& [n, s] : self) EXPECT_EQ(net_change(n)[at(s)], -2.0) << "reaction " << n;
  // HO2 + HO2 -> H2O2: the rate is k [HO2]^2 (times H2O for reaction 37),
  // taken left to right from the coefficient.
  State v = test::daytime_state();
  Rates r{};
  r[at(37)] = 3.22e-34;
  const Fixed f = test::daytime_fixed();
  const double ho2 = v[at(ind_ho2)];
  const State d = derivatives(v, f, r);
  EXPECT_EQ(d[at(ind_h2o2)], r[at(37)] * ho2 * ho2 * f[at(indf_h2o)]);
  EXPECT_EQ(d[at(ind_ho2)], -2.0 * (r[at(37)] * ho2 * ho2 * f[at(indf_h2o)]));
}

TEST(RightHandSide, O1DQuenching) {
  EXPECT_EQ(net_change(29)[at(ind_o3)], 1.0);
  EXPECT_EQ(net_change(29)[at(ind_o3p)], 0.0);
  EXPECT_EQ(net_change(30)[at(ind_o3p)], 1.0);
  EXPECT_EQ(net_change(30)[at(ind_o3)], 0.0);
  EXPECT_EQ(net_change(31)[at(ind_ho)], 2.0);
}

TEST(RightHandSide, FixedSpeciesScaleOnlyTheirReactions) {
  const std::array<int, 2> with_h2o = {31, 37};
  const std::array<int, 8> with_m = {27, 29, 30, 53, 59, 122, 125, 128};
  auto contains = [](const auto& list, int n) {
    for (int x : list)
      if (x == n) return true;
    return false;
  };
  for (int n = 1; n <= nreact; ++n) {
    const State base = net_change(n);
    const State wet = net_change(n, {2.0, 1.0});
    const State dense = net_change(n, {1.0, 2.0});
    for (int s = 1; s <= nvar; ++s) {
      EXPECT_EQ(wet[at(s)], base[at(s)] * (contains(with_h2o, n) ? 2.0 : 1.0)) << n << " " << s;
      EXPECT_EQ(dense[at(s)], base[at(s)] * (contains(with_m, n) ? 2.0 : 1.0)) << n << " " << s;
    }
  }
}

TEST(RightHandSide, EndProductsNeverDecrease) {
  for (int n = 1; n <= nreact; ++n) {
    const State d = net_change(n);
    for (int s : {ind_sulf, ind_co2, ind_ora1, ind_ora2}) EXPECT_GE(d[at(s)], 0.0) << n;
  }
}

// Total bromine and total reactive nitrogen are conserved by every
// reaction: a wrong product or yield anywhere shows up here.
double bromine(const State& x) {
  return x[at(ind_br)] + x[at(ind_bro)] + x[at(ind_hobr)] + x[at(ind_hbr)] + 2.0 * x[at(ind_br2)];
}
double nitrogen(const State& x) {
  double n = 2.0 * x[at(ind_n2o5)];
  for (int s : {ind_no, ind_no2, ind_no3, ind_hono, ind_hno3, ind_hno4, ind_pan, ind_tpan, ind_onit,
                ind_olnn, ind_olnd})
    n += x[at(s)];
  return n;
}

TEST(RightHandSide, EachReactionConservesBromineAndNitrogen) {
  for (int n = 1; n <= nreact; ++n) {
    const State d = net_change(n);
    EXPECT_NEAR(bromine(d), 0.0, 1e-14) << "reaction " << n;
    EXPECT_NEAR(nitrogen(d), 0.0, 1e-14) << "reaction " << n;
  }
}

TEST(RightHandSide, DaytimeStateConservesBromineAndNitrogen) {
  const State v = test::daytime_state();
  const Fixed f = test::daytime_fixed();
  const Rates r = test::daytime_rates();
  const State d = derivatives(v, f, r);
  const State g = test::gross_rates(v, f, r);
  EXPECT_NEAR(bromine(d), 0.0, 1e-13 * bromine(g));
  EXPECT_NEAR(nitrogen(d), 0.0, 1e-13 * nitrogen(g));
  EXPECT_NE(d[at(ind_br)], 0.0);
  EXPECT_NE(d[at(ind_no2)], 0.0);
}

}  // namespace
}  // namespace box
