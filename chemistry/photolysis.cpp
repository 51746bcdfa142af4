#include "chemistry/photolysis.hpp"

#include "common/one_based.hpp"
#include "mechanism/photolysis_slots.hpp"
#include "common/reciprocals.hpp"

namespace box {
namespace {

// One entry of the working vector photoj: where it is loaded from in the
// base table, and which argument receives it.
struct Entry {
  int phot1;     // entry of the base table
  int argument;  // photolysis argument position
};

// photoj entries 1..26 in assignment order. Entry 16 (ketone photolysis)
// and entry 23 carry the same base value and both feed ph_ch3coc2h5; the
// later assignment wins, with no change in value.
constexpr std::array<Entry, n_base_photolysis> entries{{
    {3, pj_no2},         // NO2 -> NO + O(3P)
    {1, pj_o31d},        // O3 -> O(1D) + O2
    {2, pj_o33p},        // O3 -> O(3P) + O2
    {6, pj_hno2},        // HONO -> HO + NO
    {7, pj_hno3},        // HNO3 -> HO + NO2
    {8, pj_hno4},        // HNO4 -> HO2 + NO2
    {4, pj_no3o2},       // NO3 -> NO + O2
    {5, pj_no3o},        // NO3 -> NO2 + O(3P)
    {9, pj_h2o2},        // H2O2 -> 2 HO
    {11, pj_ch2om},      // HCHO -> H2 + CO
    {10, pj_ch2or},      // HCHO -> 2 HO2 + CO
    {12, pj_ch3cho},     // ALD
    {18, pj_ch3o2h},     // OP1 (methyl hydroperoxide)
    {13, pj_ch3coch3},   // acetone rate, used for OP2
    {19, pj_ch3coo2h},   // PAA
    {14, pj_ch3coc2h5},  // KET (same value as entry 23)
    {15, pj_hcocho},     // GLY, first channel
    {21, pj_hcochob},    // GLY, second channel
    {16, pj_ch3cocho},   // MGLY
    {17, pj_hcochest},   // DCB
    {20, pj_ch3ono2},    // ONIT
    {22, pj_macr},       // MACR
    {23, pj_ch3coc2h5},  // KET and HKET
    {24, pj_br2},        // BR2 -> 2 BR
    {25, pj_bro},        // BRO -> BR + O(3P)
    {26, pj_hobr},       // HOBR -> HO + BR
}};

}  // namespace

PhotolysisTable base_photolysis_table() {
  // Clear-sky frequencies for an overhead sun, min-1. Entry 25 (BRO) is the
  // double one unit in the last place above the nearest to 0.2292.
  return {0.00184632,  0.0288514,   0.542199,    1.56391,     12.5313,     0.119043,
          4.12661e-05, 0.000279748, 0.000477564, 0.00267928,  0.00182312,  0.000335393,
          0.000325182, 5.93159e-05, 0.00396512,  0.00693949,  0.0323318,   0.000325182,
          0.000126502, 0.000188569, 0.0015814,   0.000101917, 5.93159e-05, 1.812,
          0.22920000000000001, 0.0474};
}

PhotolysisTable reload_photoj(const PhotolysisTable& phot1) {
  PhotolysisTable photoj{};
  for (std::size_t k = 0; k < entries.size(); ++k) photoj[k] = phot1[at(entries[k].phot1)];
  return photoj;
}

void scale_photoj(PhotolysisTable& photoj, double coszen, double extf) {
  for (double& j : photoj) {
    if (coszen > 0) {
      j = j * minutes_per_second;  // per minute to per second
      j = coszen * j * extf;
    } else {
      j = 0;  // sun below the horizon
    }
  }
}

PhotolysisRates photolysis_arguments(const PhotolysisTable& photoj) {
  PhotolysisRates rates{};
  for (std::size_t k = 0; k < entries.size(); ++k) rates[at(entries[k].argument)] = photoj[k];
  return rates;
}

PhotolysisRates table_photolysis(double coszen, double extf) {
  PhotolysisTable photoj = reload_photoj(base_photolysis_table());
  scale_photoj(photoj, coszen, extf);
  return photolysis_arguments(photoj);
}

}  // namespace box
