#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cmath>
#include <limits>

#include "mechanism/mechanism.hpp"
#include "mechanism/rate_cache.hpp"

namespace box {
namespace {

std::array<double, nreact> rates_at(double temp, double c_m, const std::array<double, nphot>& j) {
  std::array<double, nreact> r;
  r.fill(std::numeric_limits<double>::quiet_NaN());
  racm_update_rconst(j.data(), r.data(), c_m, temp);
  return r;
}

TEST(RateLaws, WorkedValues) {
  EXPECT_EQ(arr2(3.7e-12, 0.0, 250.0), 3.7e-12);
  EXPECT_EQ(thermal_t2(7.44e-18, 1361.0, 1.0), 7.44e-18 * std::exp(-1361.0));
  // At 300 K with k0 [M] = kinf the fall-off curve sits at half the
  // high-pressure limit, broadened by 0.6: 0.3 kinf.
  EXPECT_NEAR(troe(1e-30, 3.0, 2e-11, 1.3, 300.0, 2e19), 0.3 * 2e-11, 1e-15 * 2e-11);
  // The reverse decomposition is the forward rate over K = a exp(-b/T).
  EXPECT_EQ(troee(4.76e26, 10900.0, 1.8e-31, 3.2, 4.7e-12, 1.4, 298.0, 2.5e19),
            4.76e26 * std::exp(-10900.0 / 298.0) * troe(1.8e-31, 3.2, 4.7e-12, 1.4, 298.0, 2.5e19));
}

// The whole-set evaluation shares exponentials and fall-off factors among
// reactions with the same parameters; every coefficient must still be the
// bits its own rate law gives, over the temperatures and air densities the
// model meets and beyond.
TEST(RateCoefficients, SharedFactorsGiveEachLawsOwnBits) {
  std::array<double, nphot> j{};
  for (std::size_t s = 0; s < j.size(); ++s) j[s] = 1e-5 * static_cast<double>(s + 1);
  for (const double temp : {180.0, 230.15, 273.15, 298.0, 301.7, 330.0}) {
    for (const double c_m : {1e17, 2.5e19, 3.1e19}) {
      const auto r = rates_at(temp, c_m, j);
      for (int n = 1; n <= nreact; ++n) {
        const double own = racm_rate_coefficient(n, j.data(), c_m, temp);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(r[at(n)]), std::bit_cast<std::uint64_t>(own))
            << "reaction " << n << " at " << temp << " K, " << c_m << " cm-3: " << r[at(n)]
            << " vs " << own;
      }
    }
  }
}

// The cache gives what a full evaluation gives, bit for bit, and evaluates
// the thermal coefficients only when temperature or air density differ in
// any bit from the call before.
TEST(RateCoefficients, CacheEvaluatesOnlyWhenTheAirChanges) {
  RateCoefficientCache cache;
  std::array<double, nphot> j{};
  const struct {
    double temp, c_m, light;
    long long evaluations;
  } calls[] = {{298.0, 2.5e19, 1.0, 1},  {298.0, 2.5e19, 0.5, 1}, {298.0, 2.5e19, 0.0, 1},
               {285.0, 2.5e19, 0.0, 2},  {285.0, 2.4e19, 1.0, 3}, {285.0, 2.4e19, 1.0, 3},
               {298.0, 2.5e19, 1.0, 4},  {298.0, std::nextafter(2.5e19, 0.0), 1.0, 5}};
  for (const auto& c : calls) {
    for (std::size_t s = 0; s < j.size(); ++s) j[s] = c.light * 1e-5 * static_cast<double>(s + 1);
    std::array<double, nreact> cached;
    cached.fill(std::numeric_limits<double>::quiet_NaN());
    cache.update(j.data(), cached.data(), c.c_m, c.temp);
    const auto fresh = rates_at(c.temp, c.c_m, j);
    for (int n = 1; n <= nreact; ++n)
      EXPECT_EQ(std::bit_cast<std::uint64_t>(cached[at(n)]), std::bit_cast<std::uint64_t>(fresh[at(n)]))
          << "reaction " << n << " at " << c.temp << " K, " << c.c_m << " cm-3, light " << c.light;
    EXPECT_EQ(cache.evaluations(), c.evaluations) << c.temp << " K, " << c.c_m << " cm-3";
  }
}

// Literature values of selected coefficients at 298 K and 2.5e19 cm-3,
// to the five digits they are quoted with.
TEST(RateCoefficients, ValuesAtRoomConditions) {
  const auto r = rates_at(298.0, 2.5e19, {});
  const std::pair<int, double> expected[] = {
      {27, 1.5233e-14}, {28, 7.9601e-15}, {36, 2.9407e-12}, {38, 1.6845e-12}, {42, 1.1558e-11},
      {46, 8.6853e-2},  {49, 1.0031e-13}, {61, 2.4146e-13}, {64, 6.8633e-15},
  };
  for (const auto& [n, k] : expected)
    EXPECT_NEAR(r[at(n)] / k, 1.0, 5e-5) << "reaction " << n << ": " << r[at(n)];
}

TEST(RateCoefficients, EveryEntryWrittenAndFinite) {
  for (double temp : {220.0, 298.0, 320.0})
    for (double c_m : {5e18, 2.5e19}) {
      const auto r = rates_at(temp, c_m, {});
      for (int n = 1; n <= nreact; ++n)
        EXPECT_TRUE(std::isfinite(r[at(n)]) && r[at(n)] >= 0.0) << "reaction " << n;
    }
}

TEST(RateCoefficients, PressureDependence) {
  const auto low = rates_at(298.0, 1e19, {});
  const auto high = rates_at(298.0, 2.5e19, {});
  // HNO3 + HO is written without the air density.
  EXPECT_EQ(low[at(49)], high[at(49)]);
  // Fall-off and explicitly pressure-dependent reactions speed up with M.
  for (int n : {27, 36, 37, 38, 40, 41, 42, 45, 56, 60, 61, 130, 132})
    EXPECT_GT(high[at(n)], low[at(n)]) << "reaction " << n;
  // Reactions with M as a reactant carry the share of air in their
  // coefficient, not M itself.
  for (int n : {29, 30, 53, 59, 122, 125, 128, 28, 32}) EXPECT_EQ(low[at(n)], high[at(n)]) << n;
  EXPECT_EQ(high[at(29)], arr2(1.8e-11, -110.0, 298.0) * 0.78084);
  EXPECT_EQ(high[at(53)], arr2(3.3e-39, -530.0, 298.0) * 0.20946);
}

TEST(RateCoefficients, PhotolysisSlots) {
  std::array<double, nphot> j{};
  for (int k = 1; k <= nphot; ++k) j[at(k)] = 1e-3 * k;
  const auto day = rates_at(298.0, 2.5e19, j);
  const auto night = rates_at(298.0, 2.5e19, {});
  // KET and HKET photolyse with the same frequency.
  EXPECT_EQ(day[at(16)], day[at(23)]);
  EXPECT_EQ(day[at(16)], j[at(pj_ch3coc2h5)]);
  EXPECT_EQ(day[at(1)], j[at(pj_no2)]);
  EXPECT_EQ(day[at(2)], j[at(pj_o31d)]);
  EXPECT_EQ(day[at(10)], j[at(pj_ch2om)]);
  EXPECT_EQ(day[at(11)], j[at(pj_ch2or)]);
  EXPECT_EQ(day[at(26)], j[at(pj_bro)]);
  for (int n = 1; n <= 26; ++n) EXPECT_EQ(night[at(n)], 0.0) << n;
  for (int n = 27; n <= nreact; ++n) EXPECT_EQ(night[at(n)], day[at(n)]) << n;
  // Slots beyond the 25 used ones are read by no reaction.
  auto extra = j;
  for (int k = pj_n2o5; k <= nphot; ++k) extra[at(k)] = 7.0;
  EXPECT_EQ(rates_at(298.0, 2.5e19, extra), day);
}

}  // namespace
}  // namespace box
