#pragma once
// The daily course of surface emissions: constant, or following the sun
// (the cosine of the solar zenith angle, nothing at night) with the same
// total over the day.
#include <string_view>

#include "environment/value_source.hpp"

namespace box {

enum class EmissionProfile { constant, daylight };

// "constant" or "daylight"; anything else is an error naming `at`.
EmissionProfile emission_profile_from_name(std::string_view name, const ValueSource& at);

// The mean over the 24 hours of the day of max(cos zenith, 0) for a site
// at latitude phi and a sun at declination delta (the sines and cosines):
// (H0 sin phi sin delta + sin H0 cos phi cos delta) / pi, with H0 the hour
// angle of sunset (0 in polar night, pi in polar day).
double daylight_mean_cosine(double sinlat, double coslat, double sindec, double cosdec);

// Errors naming `at` when the sun does not rise on the day (mean 0): a
// daylight profile then cannot deliver the day's emission.
void require_daylight(double mean_cosine, const ValueSource& at);

// The factor on the constant emission at a step with the sun at `coszen`:
// 1 for the constant profile; max(coszen, 0) / mean_cosine for daylight,
// so that its mean over the day is 1 (0 when mean_cosine is not positive).
double emission_profile_factor(EmissionProfile profile, double coszen, double mean_cosine);

}  // namespace box
