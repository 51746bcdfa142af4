#include "environment/humidity.hpp"

#include <cmath>

#include "common/errors.hpp"
#include "environment/input_text.hpp"

namespace box {

double saturation_vapour_pressure_water(double T) {
  // The first four terms fit the vapour pressure of (supercooled) liquid
  // water from its heat capacity; the tanh switches in the correction that
  // carries it to the measurements above 218.8 K.
  const double lnT = std::log(T);
  const double ln_e = 54.842763 - 6763.22 / T - 4.210 * lnT + 0.000367 * T +
                      std::tanh(0.0415 * (T - 218.8)) *
                          (53.878 - 1331.22 / T - 9.44523 * lnT + 0.014025 * T);
  return std::exp(ln_e);
}

double air_number_density(double T, double p) { return p / (boltzmann * T) * 1e-6; }

namespace {

WaterVapour from_mole_fraction(double x, double T, double p) {
  return {x, x * 1e9, x * air_number_density(T, p)};
}

}  // namespace

WaterVapour water_from_relative_humidity(double percent, double T, double p) {
  return from_mole_fraction(percent / 100.0 * saturation_vapour_pressure_water(T) / p, T, p);
}

WaterVapour water_from_ppb(double ppb, double T, double p) {
  return from_mole_fraction(ppb / 1e9, T, p);
}

WaterVapour water_from_molecules_cm3(double per_cm3, double T, double p) {
  return from_mole_fraction(per_cm3 / air_number_density(T, p), T, p);
}

double relative_humidity(double x, double T, double p) {
  return 100.0 * x * p / saturation_vapour_pressure_water(T);
}

std::string check_relative_humidity(double percent, std::string_view where) {
  if (!(percent >= 0.0 && percent <= 105.0))
    throw InputError(std::string(where) + ": expected a relative humidity from 0 to 105 percent, found " +
                     shown(percent));
  if (percent > 100.0)
    return "note: " + std::string(where) + ": relative humidity " + shown(percent) +
           " % is supersaturated over liquid water; taken as given";
  return {};
}

}  // namespace box
