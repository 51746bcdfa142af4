#pragma once
// Photolysis frequencies of a step. There is no radiative transfer here: a
// fixed table of 26 clear-sky frequencies for an overhead sun (per minute)
// is scaled by the cosine of the solar zenith angle, and the scaled values
// are handed to the chemistry as the 51 photolysis arguments.
#include <array>

#include "chemistry/step_inputs.hpp"
#include "mechanism/photolysis_slots.hpp"

namespace box {

inline constexpr int n_base_photolysis = 26;
// Frequencies by table entry, per minute (base table) or per second
// (scaled); entry n at storage offset at(n).
using PhotolysisTable = std::array<double, n_base_photolysis>;

// The base table `phot1` of the initial state, per minute.
PhotolysisTable base_photolysis_table();

// This step's working vector `photoj`, reloaded from the base table (its
// entries in the order in which the arguments are assigned; entry 1 is NO2).
PhotolysisTable reload_photoj(const PhotolysisTable& phot1);

// Per minute to per second and scaled by the sun: photoj * coszen * extf
// while the sun is up (coszen > 0), 0 otherwise.
void scale_photoj(PhotolysisTable& photoj, double coszen, double extf);

// The 51 photolysis arguments (s-1) from the scaled photoj.
PhotolysisRates photolysis_arguments(const PhotolysisTable& photoj);

// The arguments a step hands the chemistry for a sun at zenith cosine
// `coszen` with the factor `extf`: the base table reloaded, scaled and
// assigned, as every step does it.
PhotolysisRates table_photolysis(double coszen, double extf = 1.0);
// The same for an overhead sun (coszen 1): the sun of the rate tables and
// of the lifetimes the run's notes compare against.
inline PhotolysisRates overhead_sun_photolysis(double extf = 1.0) { return table_photolysis(1.0, extf); }

}  // namespace box
