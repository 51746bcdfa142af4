// The daylight emission profile: a day's mean of one, nothing at night.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "environment/emission_profile.hpp"

namespace box {
namespace {

constexpr double deg = std::numbers::pi / 180.0;

// max(cos zenith, 0) averaged over the day by the midpoint rule in hour
// angle, an independent check of the closed form.
double numerical_mean(double lat, double dec) {
  constexpr int n = 200000;
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double h = -std::numbers::pi + (i + 0.5) * (2.0 * std::numbers::pi / n);
    sum += std::max(0.0, std::cos(h) * std::cos(lat) * std::cos(dec) + std::sin(lat) * std::sin(dec));
  }
  return sum / n;
}

TEST(DaylightProfile, MeanCosineMatchesTheDaysIntegral) {
  const double cases[][2] = {{0, 0},     {45, 8.5},   {45, -23.44}, {-33, 23.44}, {60, 20},
                             {70, 23.44}, {75, -20},  {89.9, 10},   {-80, -15}};
  for (const auto& c : cases) {
    const double lat = c[0] * deg, dec = c[1] * deg;
    const double mean =
        daylight_mean_cosine(std::sin(lat), std::cos(lat), std::sin(dec), std::cos(dec));
    EXPECT_NEAR(mean, numerical_mean(lat, dec), 1e-8) << "latitude " << c[0] << ", declination " << c[1];
  }
  // At the equinox on the equator: 1/pi. In polar night: nothing. At the pole
  // in polar day: the sine of the sun's elevation.
  EXPECT_NEAR(daylight_mean_cosine(0.0, 1.0, 0.0, 1.0), 1.0 / std::numbers::pi, 1e-15);
  EXPECT_EQ(daylight_mean_cosine(std::sin(75 * deg), std::cos(75 * deg), std::sin(-20 * deg),
                                 std::cos(-20 * deg)),
            0.0);
  EXPECT_NEAR(daylight_mean_cosine(1.0, 0.0, std::sin(20 * deg), std::cos(20 * deg)),
              std::sin(20 * deg), 1e-15);
}

TEST(DaylightProfile, FactorKeepsTheDailyTotalAndIsZeroAtNight) {
  const double lat = 41.0 * deg, dec = 8.2 * deg;
  const double mean = daylight_mean_cosine(std::sin(lat), std::cos(lat), std::sin(dec), std::cos(dec));
  // The factor at 5-minute steps over the day sums to the constant's total.
  double total = 0.0;
  for (int i = 0; i < 288; ++i) {
    const double h = (i * 5.0 / 60.0 - 12.0) * 15.0 * deg;
    const double coszen = std::cos(h) * std::cos(lat) * std::cos(dec) + std::sin(lat) * std::sin(dec);
    const double f = emission_profile_factor(EmissionProfile::daylight, coszen, mean);
    EXPECT_GE(f, 0.0);
    if (coszen <= 0.0) {
      EXPECT_EQ(f, 0.0);
    }
    total += f;
  }
  // To the accuracy of a 5-minute sum across the kinks at sunrise and sunset.
  EXPECT_NEAR(total / 288.0, 1.0, 1e-5);
  EXPECT_EQ(emission_profile_factor(EmissionProfile::constant, -0.3, mean), 1.0);
  EXPECT_EQ(emission_profile_factor(EmissionProfile::daylight, 0.5, 0.0), 0.0);
}

TEST(DaylightProfile, NamesAndPolarNightAreCheckedAtTheirKeys) {
  const ValueSource key{"s.toml", 9, "[emissions] profile"};
  EXPECT_EQ(emission_profile_from_name("constant", key), EmissionProfile::constant);
  EXPECT_EQ(emission_profile_from_name("daylight", key), EmissionProfile::daylight);
  EXPECT_THROW(emission_profile_from_name("diurnal", key), PhysicsInputError);
  EXPECT_NO_THROW(require_daylight(0.2, key));
  try {
    require_daylight(0.0, key);
    FAIL();
  } catch (const PhysicsInputError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("s.toml: line 9: [emissions] profile: ", 0), 0u);
  }
}

}  // namespace
}  // namespace box
