// Photolysis frequencies of a step: the base table scaled by the cosine of
// the solar zenith angle, per second, into the 51 arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "chemistry/photolysis.hpp"
#include "common/one_based.hpp"

namespace box {
namespace {


PhotolysisRates rates_for(double coszen) {
  PhotolysisTable photoj = reload_photoj(base_photolysis_table());
  scale_photoj(photoj, coszen, 1.0);
  return photolysis_arguments(photoj);
}

TEST(Photolysis, OverheadSunGivesTheTablePerSecond) {
  const PhotolysisRates ph = rates_for(1.0);
  EXPECT_NEAR(ph[at(pj_no2)], 0.00903665, 1e-17);
  EXPECT_DOUBLE_EQ(ph[at(pj_no2)], 0.542199 / 60.0);
  EXPECT_DOUBLE_EQ(ph[at(pj_no3o)], 12.5313 / 60.0);
  EXPECT_DOUBLE_EQ(ph[at(pj_o31d)], 0.00184632 / 60.0);
  EXPECT_DOUBLE_EQ(ph[at(pj_hobr)], 0.0474 / 60.0);
  EXPECT_DOUBLE_EQ(ph[at(pj_br2)], 1.812 / 60.0);
  // The two HCHO channels are not swapped: the molecular one is the smaller.
  EXPECT_DOUBLE_EQ(ph[at(pj_ch2om)], 0.00182312 / 60.0);
  EXPECT_DOUBLE_EQ(ph[at(pj_ch2or)], 0.00267928 / 60.0);
}

TEST(Photolysis, ExactlyTwentyFiveArgumentsCarryAFrequency) {
  const PhotolysisRates ph = rates_for(1.0);
  for (int k = 1; k <= 25; ++k) EXPECT_GT(ph[at(k)], 0.0) << "argument " << k;
  for (int k = 26; k <= njv; ++k) EXPECT_EQ(ph[at(k)], 0.0) << "argument " << k;
}

TEST(Photolysis, HalfSunHalvesEveryRate) {
  const PhotolysisRates full = rates_for(1.0);
  const PhotolysisRates half = rates_for(0.5);
  for (int k = 1; k <= njv; ++k) EXPECT_EQ(half[at(k)], 0.5 * full[at(k)]) << "argument " << k;
}

TEST(Photolysis, NoSunNoPhotolysis) {
  for (double coszen : {0.0, -1e-12, -0.5, -1.0}) {
    const PhotolysisRates ph = rates_for(coszen);
    EXPECT_TRUE(std::all_of(ph.begin(), ph.end(), [](double j) { return j == 0.0; })) << coszen;
  }
}

TEST(Photolysis, SunJustAboveTheHorizonStillPhotolyses) {
  EXPECT_GT(rates_for(1e-6)[at(pj_no2)], 0.0);
}

TEST(Photolysis, SharedBaseValuesGiveEqualRates) {
  for (double coszen : {1.0, 0.37}) {
    const PhotolysisRates ph = rates_for(coszen);
    EXPECT_EQ(ph[at(pj_ch3coch3)], ph[at(pj_ch3o2h)]);
    EXPECT_DOUBLE_EQ(ph[at(pj_ch3coc2h5)], coszen * (5.93159e-05 / 60.0));
  }
}

TEST(Photolysis, ReloadDoesNotCompoundScaling) {
  const PhotolysisTable phot1 = base_photolysis_table();
  PhotolysisTable photoj = reload_photoj(phot1);
  scale_photoj(photoj, 0.5, 1.0);
  photoj = reload_photoj(phot1);
  EXPECT_EQ(photoj[at(1)], 0.542199);  // NO2, per minute again
}

TEST(Photolysis, BrOBaseValueIsOneUlpAboveTheDecimal) {
  EXPECT_EQ(base_photolysis_table()[at(25)], std::nextafter(0.2292, 1.0));
}

}  // namespace
}  // namespace box
