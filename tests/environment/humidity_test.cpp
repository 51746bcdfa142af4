// Water vapour conversions against reference values and a hand-worked case.
#include <gtest/gtest.h>

#include "common/errors.hpp"
#include "environment/humidity.hpp"

namespace box {
namespace {

TEST(Humidity, SaturationPressureAndAirDensityMatchReferenceValues) {
  // The triple point (611.657 Pa) and 25 °C (3169.93 Pa) of the
  // international water-substance tables, independent of the formula used.
  EXPECT_NEAR(saturation_vapour_pressure_water(273.16), 611.657, 0.001);
  EXPECT_NEAR(saturation_vapour_pressure_water(298.15), 3169.93, 0.05);
  // Loschmidt's constant (CODATA 2018), an ideal gas at 273.15 K, 1 atm.
  EXPECT_NEAR(air_number_density(273.15, 101325.0), 2.686780111e19, 1e10);
}

TEST(Humidity, FiftyPercentAt298KAndOneAtmosphereEveryWayRound) {
  // By hand: e = 0.5 × 3169.937 Pa = 1584.968 Pa; x = e / 101325 Pa =
  // 0.0156424; n_air = 101325 / (1.380649e-23 × 298.15) m-3 =
  // 2.461492e19 cm-3; n_H2O = x n_air = 3.85037e17 cm-3.
  const double T = 298.15, p = 101325.0;
  const WaterVapour w = water_from_relative_humidity(50.0, T, p);
  EXPECT_NEAR(w.mole_fraction, 0.0156424, 1e-7);
  EXPECT_NEAR(w.ppb, 1.56424e7, 1e2);
  EXPECT_NEAR(w.molecules_cm3, 3.85037e17, 1e12);
  for (const WaterVapour& v : {water_from_ppb(w.ppb, T, p), water_from_molecules_cm3(w.molecules_cm3, T, p)}) {
    EXPECT_DOUBLE_EQ(v.mole_fraction, w.mole_fraction);
    EXPECT_DOUBLE_EQ(v.molecules_cm3, w.molecules_cm3);
  }
  EXPECT_DOUBLE_EQ(relative_humidity(w.mole_fraction, T, p), 50.0);
  // The same relative humidity at half the pressure is twice the mole
  // fraction and the same number of molecules.
  const WaterVapour high = water_from_relative_humidity(50.0, T, p / 2);
  EXPECT_DOUBLE_EQ(high.mole_fraction, 2 * w.mole_fraction);
  EXPECT_DOUBLE_EQ(high.molecules_cm3, w.molecules_cm3);
}

TEST(Humidity, RelativeHumidityAbove100IsANoteAbove105AnError) {
  EXPECT_EQ(check_relative_humidity(100.0, "s.toml: line 4: relative_humidity"), "");
  EXPECT_NE(check_relative_humidity(103.0, "s.toml: line 4: relative_humidity").find("103"),
            std::string::npos);
  for (double bad : {105.5, -1.0}) {
    try {
      check_relative_humidity(bad, "s.toml: line 4: relative_humidity");
      ADD_FAILURE() << bad << " accepted";
    } catch (const InputError& e) {
      EXPECT_STREQ(e.what(), ("s.toml: line 4: relative_humidity: expected a relative humidity from 0 "
                              "to 105 percent, found " + std::string(bad < 0 ? "-1" : "105.5")).c_str());
    }
  }
}

}  // namespace
}  // namespace box
