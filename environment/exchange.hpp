#pragma once
// The scenario's exchange of the parcel with its surroundings, as given:
// units of the scenario, and where each value came from.
#include <optional>
#include <string>
#include <vector>

#include "environment/value_source.hpp"

namespace box {

struct SpeciesSetting {
  std::string species;
  double value = 0.0;
  ValueSource source;
};

struct NamedSpecies {
  std::string species;
  ValueSource source;
};

struct ExchangeSettings {
  // [emissions] mixing_height_m, used by emissions and deposition alike.
  std::optional<double> mixing_height_m;
  ValueSource mixing_height_source;
  std::vector<SpeciesSetting> emissions;   // molecules cm-2 s-1
  std::vector<SpeciesSetting> deposition;  // deposition velocity, cm s-1
  double dilution_per_s = 0.0;             // [dilution] rate_per_s
  ValueSource dilution_source;
  std::vector<SpeciesSetting> background;  // ppb; species not listed have 0
  std::vector<NamedSpecies> held;          // constrained species
};



}  // namespace box
