#include "environment/emission_profile.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace box {

EmissionProfile emission_profile_from_name(std::string_view name, const ValueSource& at) {
  if (name == "constant") return EmissionProfile::constant;
  if (name == "daylight") return EmissionProfile::daylight;
  throw PhysicsInputError(at.describe() + ": expected \"constant\" or \"daylight\", found \"" +
                          std::string(name) + "\"");
}

double daylight_mean_cosine(double sinlat, double coslat, double sindec, double cosdec) {
  // cos zenith = cos H cos phi cos delta + sin phi sin delta is positive for
  // |H| < H0 with cos H0 = -tan phi tan delta; its integral over that range
  // divided by the day's 2 pi.
  const double a = sinlat * sindec;
  const double b = coslat * cosdec;
  double h0 = 0.0;
  if (b <= 0.0 || a >= b) {
    h0 = a > 0.0 ? std::numbers::pi : 0.0;  // the pole, or sun always up or down
  } else if (a <= -b) {
    h0 = 0.0;
  } else {
    h0 = std::acos(-a / b);
  }
  return std::max(0.0, (h0 * a + std::sin(h0) * b) / std::numbers::pi);
}

void require_daylight(double mean_cosine, const ValueSource& at) {
  if (mean_cosine > 0.0) return;
  throw PhysicsInputError(at.describe() +
                          ": a daylight emission profile needs the sun to rise on the run's day");
}

double emission_profile_factor(EmissionProfile profile, double coszen, double mean_cosine) {
  if (profile == EmissionProfile::constant) return 1.0;
  if (!(mean_cosine > 0.0)) return 0.0;
  return std::max(coszen, 0.0) / mean_cosine;
}

}  // namespace box
