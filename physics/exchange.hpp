#pragma once
// The scenario's exchange of the parcel with its surroundings, as given
// (units of the scenario, where each value came from), and its translation
// into the chemistry step's OpenBox.
#include <optional>
#include <string>
#include <vector>

#include "chemistry/open_box.hpp"
#include "physics/physics_error.hpp"

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

// Converts the settings: E / H and v_d / H with H in cm, background ppb to
// mole fractions; H2O among the held species is left to the driver (it is
// not integrated: the step takes it from the moisture). Errors name the
// value's source: a species the mechanism does not integrate (H2O allowed
// among the held), a species given twice in one list, a negative emission,
// velocity, dilution rate or background, emissions or deposition without a
// positive mixing height, a species both held and emitted.
OpenBox build_open_box(const ExchangeSettings& settings);

}  // namespace box
