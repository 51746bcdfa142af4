#pragma once
// Photolysis frequencies of a step. There is no radiative transfer here: a
// fixed table of 26 clear-sky frequencies for an overhead sun (per minute)
// is scaled by the cosine of the solar zenith angle, and the scaled values
// are handed to the chemistry as the 51 photolysis arguments.
#include <array>

#include "chemistry/chemistry_step.hpp"

namespace box {

inline constexpr int n_base_photolysis = 26;
// Frequencies by table entry, per minute (base table) or per second
// (scaled); entry n at storage offset at(n).
using PhotolysisTable = std::array<double, n_base_photolysis>;

// Positions among the 51 photolysis arguments: the 25 that carry a
// frequency, and two of the 26 that stay 0 and are shown at start-up.
// PhotolysisRates[at(photolysis_slot::no2)] is ph_no2.
namespace photolysis_slot {
inline constexpr int o31d = 1, o33p = 2, no2 = 3, no3o2 = 4, no3o = 5, hno2 = 6, hno3 = 7,
                     hno4 = 8, h2o2 = 9, ch2or = 10, ch2om = 11, ch3cho = 12, ch3coch3 = 13,
                     ch3coc2h5 = 14, hcocho = 15, ch3cocho = 16, hcochest = 17, ch3o2h = 18,
                     ch3coo2h = 19, ch3ono2 = 20, hcochob = 21, macr = 22, hobr = 23, br2 = 24,
                     bro = 25;
inline constexpr int acetp = 45, xooh = 46;
}  // namespace photolysis_slot

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

}  // namespace box
