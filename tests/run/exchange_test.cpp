// The scenario's exchange settings as the chemistry step's open box.
#include <gtest/gtest.h>

#include <string>

#include "common/one_based.hpp"
#include "mechanism/parameters.hpp"
#include "run/open_box_setup.hpp"

namespace box {
namespace {

ValueSource key(int line, const std::string& name) { return {"scenario.toml", line, name}; }

ExchangeSettings field_campaign() {
  ExchangeSettings s;
  s.mixing_height_m = 1000.0;
  s.mixing_height_source = key(10, "[emissions] mixing_height_m");
  s.emissions = {{"NO", 5e10, key(11, "[emissions] NO")}, {"co2", 1e12, key(12, "[emissions] CO2")}};
  s.deposition = {{"O3", 0.4, key(15, "[deposition] O3")}};
  s.dilution_per_s = 1e-5;
  s.dilution_source = key(18, "[dilution] rate_per_s");
  s.background = {{"O3", 40.0, key(19, "[dilution] background.O3")},
                  {"CO", 100.0, key(19, "[dilution] background.CO")}};
  s.held = {{"NO2", key(3, "[constraints] from_records")}, {"H2O", key(3, "[constraints] from_records")}};
  return s;
}

// The message of the error that building the open box of `s` throws.
std::string build_error(const ExchangeSettings& s) {
  try {
    build_open_box(s);
  } catch (const PhysicsInputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Exchange, UnitsOfTheScenarioBecomeRatesOfTheStep) {
  const OpenBox box = build_open_box(field_campaign());
  // 5e10 molecules cm-2 s-1 over 1000 m = 1e5 cm; 0.4 cm s-1 over 1e5 cm.
  EXPECT_DOUBLE_EQ(box.emission[at(ind_no)], 5e5);
  EXPECT_DOUBLE_EQ(box.emission[at(ind_co2)], 1e7);
  EXPECT_DOUBLE_EQ(box.deposition[at(ind_o3)], 4e-6);
  EXPECT_EQ(box.dilution, 1e-5);
  EXPECT_DOUBLE_EQ(box.background[at(ind_o3)], 40e-9);
  EXPECT_DOUBLE_EQ(box.background[at(ind_co)], 100e-9);
  EXPECT_EQ(box.background[at(ind_no)], 0.0);
  EXPECT_TRUE(box.held[at(ind_no2)]);
  int held = 0;
  for (bool h : box.held) held += h ? 1 : 0;
  EXPECT_EQ(held, 1);  // H2O is the driver's, not an integrated species
  EXPECT_FALSE(box.closed());
  EXPECT_TRUE(build_open_box(ExchangeSettings{}).closed());
}

TEST(Exchange, BadSettingsNameTheirKey) {
  ExchangeSettings s = field_campaign();
  s.emissions[0].value = -1.0;
  EXPECT_EQ(build_error(s), "scenario.toml: line 11: [emissions] NO: expected an emission (molecules cm-2 s-1) of 0 or more, found -1");

  s = field_campaign();
  s.deposition[0].value = -0.1;
  EXPECT_EQ(build_error(s).rfind("scenario.toml: line 15: [deposition] O3: expected a deposition velocity (cm s-1) of 0 or more, found -0.1", 0), 0u);

  s = field_campaign();
  s.dilution_per_s = -1e-5;
  EXPECT_EQ(build_error(s).rfind("scenario.toml: line 18: [dilution] rate_per_s: expected a dilution rate (s-1) of 0 or more, found -1e-05", 0), 0u);

  s = field_campaign();
  s.background[1].value = -5.0;
  EXPECT_EQ(build_error(s).rfind("scenario.toml: line 19: [dilution] background.CO: expected a background", 0), 0u);

  s = field_campaign();
  s.held.push_back({"OZONE", key(4, "[constraints] species")});
  EXPECT_EQ(build_error(s), "scenario.toml: line 4: [constraints] species: \"OZONE\" is no integrated species of the mechanism");

  s = field_campaign();
  s.emissions.push_back({"M", 1.0, key(13, "[emissions] M")});
  EXPECT_EQ(build_error(s), "scenario.toml: line 13: [emissions] M: \"M\" is no integrated species of the mechanism");

  s = field_campaign();
  s.deposition.push_back({"o3", 0.5, key(16, "[deposition] o3")});
  EXPECT_EQ(build_error(s), "scenario.toml: line 16: [deposition] o3: o3 was already given at scenario.toml: line 15: [deposition] O3");

  s = field_campaign();
  s.held.push_back({"NO", key(5, "[constraints] from_records")});
  EXPECT_EQ(build_error(s), "scenario.toml: line 5: [constraints] from_records: NO is held to observations and also emitted (scenario.toml: line 11: [emissions] NO)");

  s = field_campaign();
  s.mixing_height_m = 0.0;
  EXPECT_EQ(build_error(s).rfind("scenario.toml: line 10: [emissions] mixing_height_m: expected a mixing height above 0 m", 0), 0u);

  s = field_campaign();
  s.mixing_height_m.reset();
  EXPECT_EQ(build_error(s), "scenario.toml: line 11: [emissions] NO: needs [emissions] mixing_height_m");

  // Dilution and holding need no mixing height.
  s = field_campaign();
  s.mixing_height_m.reset();
  s.emissions.clear();
  s.deposition.clear();
  EXPECT_EQ(build_error(s), "no error");
}

}  // namespace
}  // namespace box
