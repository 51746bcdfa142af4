#pragma once
// Water vapour of the air: relative humidity (percent over liquid water),
// mole fraction, ppb and molecules cm-3, at temperature T (K) and total
// pressure p (Pa).
//
// Relative humidity is the vapour pressure over the saturation vapour
// pressure of a flat surface of pure liquid water at T, e = RH/100 · e_w(T),
// also below 0 °C (the meteorological convention). e_w is the liquid-water
// formula of Murphy and Koop (Q. J. R. Meteorol. Soc. 131, 1539, 2005,
// eq. 10), valid for 123 K < T < 332 K; the enhancement factor of moist air
// (about 1.004 at the ground) is neglected. The mole fraction of water in
// the air is x = e / p (ideal gas), and the air's number density is
// p / (k_B T) with the exact SI Boltzmann constant.
#include <string>
#include <string_view>

namespace box {

inline constexpr double boltzmann = 1.380649e-23;  // J K-1 (exact, SI 2019)

// Saturation vapour pressure over liquid water, Pa.
double saturation_vapour_pressure_water(double temperature_K);

// Molecules of air per cm3: p / (k_B T), m-3 to cm-3.
double air_number_density(double temperature_K, double pressure_Pa);

// One amount of water vapour in each of the forms a scenario may give it.
struct WaterVapour {
  double mole_fraction = 0;  // mol mol-1 of the (moist) air
  double ppb = 0;            // mole fraction × 1e9
  double molecules_cm3 = 0;  // mole fraction × air number density
};

WaterVapour water_from_relative_humidity(double percent, double temperature_K, double pressure_Pa);
WaterVapour water_from_ppb(double ppb, double temperature_K, double pressure_Pa);
WaterVapour water_from_molecules_cm3(double per_cm3, double temperature_K, double pressure_Pa);

// The relative humidity (percent over liquid water) of a mole fraction.
double relative_humidity(double mole_fraction, double temperature_K, double pressure_Pa);

// A relative humidity as input: negative or above 105 % is an error
// (InputError "<where>: ..."); above 100 % up to 105 % is supersaturation
// a measurement can show near fog, accepted with the note returned (empty
// otherwise) for the caller to print.
std::string check_relative_humidity(double percent, std::string_view where);

}  // namespace box
