#pragma once
// The names and attributes of the sampled variables: the time coordinate,
// the species' mole fractions, the air and the sun, and the global record
// of the run. The NetCDF writer and the Python interface both take them
// from here, so that a file and an in-memory dataset describe a run alike.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "output/observer.hpp"

namespace box {

// (name, value) text attributes in the order they are written.
using Attributes = std::vector<std::pair<std::string, std::string>>;

// time: seconds since the local time of the first step (CF units).
Attributes time_attributes(const RunDescription& run);

// The mole fraction of the species called `name` in its mechanism (any
// mechanism: the CF standard name goes by the name), mol mol-1.
Attributes species_attributes(std::string_view name);

// The variables that follow the species in every sample, in this order:
// temperature (K), pressure (Pa), cos_solar_zenith_angle (1).
struct SampledVariable {
  std::string name;
  Attributes attributes;
};
const std::vector<SampledVariable>& air_variables();

// With [output] diagnostics, after those: oh_reactivity (s-1), ro2 (mol
// mol-1), p_o3 and l_o3 (mol mol-1 s-1; the CSV's ppb and ppb h-1 are
// these times 1e9 and 3.6e12), in the order of diagnostic_values().
const std::vector<SampledVariable>& diagnostic_variables();
std::vector<double> diagnostic_values(const SampleDiagnostics& d);

// title, Conventions, source, history and each scenario key as
// "scenario.<key>".
Attributes global_attributes(const RunDescription& run);

}  // namespace box
