#pragma once
// An independent sun for the tests: the Astronomical Almanac's
// low-precision formulas (good to about 0.01 degrees from 1950 to 2050, and
// little worse to 2100), from a Julian date computed by Meeus's rule, not
// by the model's calendar.
#include <cmath>

namespace box::testing {

// Julian date of `utc_hour` hours UTC on day `d` of month `m` of year `y`
// (Gregorian).
inline double julian_date(int y, int m, int d, double utc_hour) {
  if (m <= 2) {
    y -= 1;
    m += 12;
  }
  const int a = y / 100;
  const int b = 2 - a + a / 4;
  return std::floor(365.25 * (y + 4716)) + std::floor(30.6001 * (m + 1)) + d + b - 1524.5 + utc_hour / 24.0;
}

// Solar zenith angle, degrees, at Julian date `jd` over latitude
// `latitude` (degrees north) and longitude `longitude_east` (degrees east).
inline double almanac_zenith_degrees(double latitude, double longitude_east, double jd) {
  constexpr double rad = 3.14159265358979323846 / 180.0;
  const double n = jd - 2451545.0;
  const double l = 280.460 + 0.9856474 * n;  // mean longitude
  const double g = (357.528 + 0.9856003 * n) * rad;  // mean anomaly
  const double lambda = (l + 1.915 * std::sin(g) + 0.020 * std::sin(2.0 * g)) * rad;  // ecliptic longitude
  const double epsilon = (23.439 - 0.0000004 * n) * rad;  // obliquity
  const double ra = std::atan2(std::cos(epsilon) * std::sin(lambda), std::cos(lambda));
  const double dec = std::asin(std::sin(epsilon) * std::sin(lambda));
  // Equation of time: mean longitude less right ascension, in (-pi, pi].
  const double eot = std::remainder(l * rad - ra, 2.0 * 3.14159265358979323846);
  // Hour angle: the mean sun's (UTC from noon, 15 degrees an hour, plus the
  // longitude) moved on by the equation of time.
  const double utc_hours = (jd + 0.5 - std::floor(jd + 0.5)) * 24.0;
  const double hour_angle = ((utc_hours - 12.0) * 15.0 + longitude_east) * rad + eot;
  const double c = std::cos(hour_angle) * std::cos(dec) * std::cos(latitude * rad) +
                   std::sin(dec) * std::sin(latitude * rad);
  return std::acos(std::fmax(-1.0, std::fmin(1.0, c))) / rad;
}

}  // namespace box::testing
