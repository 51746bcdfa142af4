// The random rate factors: reproducible from the seed alone, normally
// distributed, and combined with the factors the scenario already has.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ensemble/monte_carlo.hpp"

namespace box::ensemble {
namespace {

TEST(MonteCarlo, DrawsDependOnSeedMemberAndReactionAlone) {
  MonteCarlo mc;
  mc.seed = 42;
  mc.uncertainty = {{1, 1.25}, {23, 1.1}, {249, 2.0}};
  // Drawn in any order, the same numbers.
  const auto late = random_factors(mc, 999);
  const auto early = random_factors(mc, 3);
  EXPECT_EQ(random_factors(mc, 3), early);
  EXPECT_EQ(random_factors(mc, 999), late);
  EXPECT_NE(early, late);
  // A reaction's draw does not depend on which other reactions vary.
  MonteCarlo one = mc;
  one.uncertainty = {{23, 1.1}};
  EXPECT_EQ(random_factors(one, 3)[0], early[1]);
  // Another seed, other factors.
  MonteCarlo other = mc;
  other.seed = 43;
  EXPECT_NE(random_factors(other, 3), early);
  // Pinned values: the generator must not change under the users' feet
  // (a changed stream, or draws reassigned between members or reactions,
  // would silently change every Monte-Carlo ensemble of a given seed).
  // Computed independently (splitmix64 and Box-Muller in Python's integers
  // and math module) for (seed, member, reaction).
  const struct {
    std::uint64_t member;
    int reaction;
    double z;
  } pinned[] = {{0, 1, -1.088558175433815},
                {1, 1, -0.1308341749286358},
                {0, 2, 0.49508537385471435},
                {999, 23, 0.34761684093020717},
                {3, 249, 0.3628884305935703}};
  for (const auto& p : pinned)
    EXPECT_NEAR(standard_normal(42, p.member, p.reaction), p.z, 1e-15) << p.member << " R" << p.reaction;
  // And the factor member 3 gets for R23 with f = 1.1: exp(ln 1.1 z).
  EXPECT_NEAR(early[1].second, 0.8763802482760162, 1e-15);
  EXPECT_EQ(early[1].first, 23);
}

TEST(MonteCarlo, DeviatesAreStandardNormalAndFactorsLogNormal) {
  // Moments and tail fractions of 200,000 draws against N(0, 1): standard
  // errors are about 0.0022 for the mean and 0.0032 for the variance.
  constexpr int n = 200000;
  double sum = 0, sum2 = 0, sum3 = 0;
  int beyond_1 = 0, beyond_2 = 0;
  for (int k = 0; k < n; ++k) {
    const double z = standard_normal(7, static_cast<std::uint64_t>(k / 249), k % 249 + 1);
    ASSERT_TRUE(std::isfinite(z));
    sum += z;
    sum2 += z * z;
    sum3 += z * z * z;
    beyond_1 += std::abs(z) > 1.0;
    beyond_2 += std::abs(z) > 2.0;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.012);
  EXPECT_NEAR(sum2 / n, 1.0, 0.015);
  EXPECT_NEAR(sum3 / n, 0.0, 0.03);
  EXPECT_NEAR(static_cast<double>(beyond_1) / n, 0.31731, 0.004);
  EXPECT_NEAR(static_cast<double>(beyond_2) / n, 0.04550, 0.002);

  // ln(factor) / ln(f) is the deviate itself.
  MonteCarlo mc;
  mc.seed = 5;
  mc.uncertainty = {{10, 1.25}};
  for (std::uint64_t m = 0; m < 50; ++m)
    EXPECT_NEAR(std::log(random_factors(mc, m)[0].second) / std::log(1.25), standard_normal(5, m, 10), 1e-12);
  // An uncertainty of 1 leaves the coefficient as it is.
  mc.uncertainty = {{10, 1.0}};
  EXPECT_EQ(random_factors(mc, 17)[0].second, 1.0);
}

TEST(MonteCarlo, FactorsMultiplyTheScenariosOwn) {
  Scenario s;
  s.chemistry.rate_factors = {{5, 2.0}, {27, 0.5}, {100, 3.0}};
  apply_factors(s, {{1, 1.5}, {27, 4.0}, {200, 0.25}});
  const std::vector<std::pair<int, double>> expected = {{1, 1.5}, {5, 2.0}, {27, 2.0}, {100, 3.0}, {200, 0.25}};
  ASSERT_EQ(s.chemistry.rate_factors.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(s.chemistry.rate_factors[k].reaction, expected[k].first);
    EXPECT_EQ(s.chemistry.rate_factors[k].factor, expected[k].second);
  }
}

}  // namespace
}  // namespace box::ensemble
