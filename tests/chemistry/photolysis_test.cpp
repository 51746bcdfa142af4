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

// Every argument against the published list of base frequencies (per
// minute) by argument position, and every entry of the working vector by
// its place in the reload order, under a sun at cosine 0.7 and a scaling
// factor other than the run's 1: rate = coszen * (j / 60) * extf.
TEST(Photolysis, EveryArgumentAndEntryWithScaling) {
  // Arguments 1 to 25; 26 to 51 carry nothing.
  const double by_argument[25] = {
      0.00184632,  0.0288514,   0.542199,    1.56391,     12.5313,     0.119043,    4.12661e-05,
      0.000279748, 0.000477564, 0.00267928,  0.00182312,  0.000335393, 0.000325182, 5.93159e-05,
      0.00396512,  0.00693949,  0.0323318,   0.000325182, 0.000126502, 0.000188569, 0.0015814,
      0.000101917, 0.0474,      1.812,       std::nextafter(0.2292, 1.0)};
  // The working vector: NO2 first, then O3 (two channels), HONO, HNO3, HNO4,
  // NO3 (two), H2O2, HCHO (two), ALD, OP1, OP2, PAA, KET, GLY (two), MGLY,
  // DCB, ONIT, MACR, HKET, BR2, BRO, HOBR.
  const double by_entry[26] = {
      0.542199,    0.00184632,  0.0288514,   0.119043,    4.12661e-05, 0.000279748, 1.56391,
      12.5313,     0.000477564, 0.00182312,  0.00267928,  0.000335393, 0.000325182, 0.000325182,
      0.000126502, 5.93159e-05, 0.00396512,  0.0015814,   0.00693949,  0.0323318,   0.000188569,
      0.000101917, 5.93159e-05, 1.812,       std::nextafter(0.2292, 1.0), 0.0474};
  const double coszen = 0.7, extf = 2.5;
  const PhotolysisTable reloaded = reload_photoj(base_photolysis_table());
  for (int k = 1; k <= n_base_photolysis; ++k)
    EXPECT_EQ(reloaded[at(k)], by_entry[k - 1]) << "entry " << k;
  PhotolysisTable photoj = reloaded;
  scale_photoj(photoj, coszen, extf);
  for (int k = 1; k <= n_base_photolysis; ++k)
    EXPECT_NEAR(photoj[at(k)], coszen * (by_entry[k - 1] / 60.0) * extf,
                1e-15 * photoj[at(k)]) << "entry " << k;
  const PhotolysisRates ph = photolysis_arguments(photoj);
  for (int k = 1; k <= njv; ++k) {
    const double expected = k <= 25 ? coszen * (by_argument[k - 1] / 60.0) * extf : 0.0;
    EXPECT_NEAR(ph[at(k)], expected, 1e-15 * expected) << "argument " << k;
  }
}

TEST(Photolysis, BrOBaseValueIsOneUlpAboveTheDecimal) {
  EXPECT_EQ(base_photolysis_table()[at(25)], std::nextafter(0.2292, 1.0));
}

}  // namespace
}  // namespace box
