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
  // [walls]: a chamber's first-order wall loss per species (s-1; species
  // not named have `wall_default`) and the dilution by its sampling flow
  // with clean air (s-1, every species, background 0).
  std::vector<SpeciesSetting> wall_loss;
  double wall_default = 0.0;
  ValueSource wall_default_source;
  double sampling_per_s = 0.0;
  ValueSource sampling_source;
  // The chamber's volume and sampling flow, when the sampling rate is given
  // by them (sampling_per_s = flow / volume).
  std::optional<double> volume_m3, flow_m3_per_s;

  // Any wall loss or sampling.
  bool walls() const {
    if (wall_default != 0.0 || sampling_per_s != 0.0) return true;
    for (const SpeciesSetting& w : wall_loss)
      if (w.value != 0.0) return true;
    return false;
  }
};

// One [[injection]]: `amount` of `species` added at once at local time
// `time_h` of the run's clock, in ppb or (molecules_cm3) molecules cm-3 of
// the air at that time.
struct Injection {
  double time_h = 0.0;
  std::string species;
  double amount = 0.0;
  bool molecules_cm3 = false;
  bool has_time = false, has_amount = false;
  ValueSource source;          // its time_h (else the [[injection]] table)
  ValueSource species_source;  // its species
};



}  // namespace box
