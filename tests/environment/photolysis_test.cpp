// Photolysis frequencies: the MCM parameterisation, the built-in
// mechanism's channel map, and the methods with their corrections.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <set>
#include <string>

#include "chemistry/photolysis.hpp"
#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "chemistry/builtin_photolysis.hpp"
#include "environment/photolysis_frequencies.hpp"

namespace box {
namespace {

const double cos45 = std::cos(std::numbers::pi / 4);

TEST(McmPhotolysis, CompiledTableIsTheDataFileAndTheFormulaHoldsAt45Degrees) {
  // Every row of the data file, read here with the C++ library, against
  // the table the build compiled in.
  std::ifstream in(std::string(BOXMODEL_SOURCE_DIR) + "/environment/data/mcm-photolysis-v3.3.1.csv");
  std::string row;
  std::getline(in, row);
  std::size_t rows = 0;
  while (std::getline(in, row)) {
    char j = 0, comma = 0;
    int n = 0;
    double l = 0, m = 0, nn = 0;
    std::istringstream s(row);
    s >> j >> n >> comma >> l >> comma >> m >> comma >> nn;
    const McmParameters* p = find_mcm_channel(n);
    ASSERT_NE(p, nullptr) << row;
    EXPECT_EQ(p->l, l) << row;
    EXPECT_EQ(p->m, m) << row;
    EXPECT_EQ(p->n, nn) << row;
    ++rows;
  }
  EXPECT_EQ(rows, mcm_parameters().size());
  EXPECT_EQ(find_mcm_channel(9), nullptr);

  // By hand at 45 degrees: cos = 2^-1/2, sec = 2^1/2, so
  // J4 = 0.01165 · 2^-0.122 · exp(-0.267 √2) = 7.338593498667751e-3 s-1 and
  // J1 = 6.073e-5 · 2^-0.8715 · exp(-0.474 √2) = 1.7014e-5 s-1.
  EXPECT_DOUBLE_EQ(mcm_frequency(*find_mcm_channel(4), cos45), 7.338593498667751e-3);
  EXPECT_DOUBLE_EQ(mcm_frequency(*find_mcm_channel(4), cos45),
                   0.01165 * std::pow(2.0, -0.122) * std::exp(-0.267 * std::sqrt(2.0)));
  EXPECT_DOUBLE_EQ(mcm_frequency(*find_mcm_channel(1), cos45),
                   6.073e-5 * std::pow(2.0, -1.743 / 2) * std::exp(-0.474 * std::sqrt(2.0)));
  // Overhead the formula is l · exp(-n); at and below the horizon, dark
  // (also for a cosine so small that sec would overflow).
  EXPECT_DOUBLE_EQ(mcm_frequency(*find_mcm_channel(4), 1.0), 0.01165 * std::exp(-0.267));
  for (double c : {0.0, -0.3, 1e-310})
    EXPECT_EQ(mcm_frequency(*find_mcm_channel(4), c), 0.0);
}

TEST(BuiltinPhotolysis, ChannelMapFollowsTheMoleculesAndScalesTheRestWithNo2) {
  const std::span<const BuiltinChannel> channels = builtin_channel_map();
  std::set<int> slots, unmapped;
  for (const BuiltinChannel& b : channels) {
    slots.insert(b.slot);
    if (b.mcm[0] == 0) unmapped.insert(b.slot);
    for (int n : b.mcm) EXPECT_TRUE(n == 0 || find_mcm_channel(n) != nullptr) << b.reactions;
  }
  EXPECT_EQ(slots.size(), 25u);  // each reaction-driving slot once
  EXPECT_EQ(*slots.rbegin(), 25);
  EXPECT_EQ(unmapped, (std::set<int>{pj_hno4, pj_hcochest, pj_hobr, pj_br2, pj_bro}));

  const BuiltinPhotolysisMap map;
  PhotolysisSetup setup;
  setup.channels.assign(builtin_mcm_channels.begin(), builtin_mcm_channels.end());
  const PhotolysisFrequencies mcm(setup);
  const PhotolysisRates r = map.rates(mcm, {12.0, cos45, 1.0});
  const auto J = [](int n) { return mcm_frequency(*find_mcm_channel(n), cos45); };
  // The counterparts the molecules have in the MCM.
  const std::pair<int, int> pairs[] = {{pj_o31d, 1}, {pj_o33p, 2}, {pj_h2o2, 3},  {pj_no2, 4},
                                       {pj_no3o2, 5}, {pj_no3o, 6}, {pj_hno2, 7},  {pj_hno3, 8},
                                       {pj_ch2or, 11}, {pj_ch2om, 12}, {pj_ch3cho, 13}, {pj_ch3o2h, 41}};
  for (const auto& [slot, n] : pairs) EXPECT_EQ(r[at(slot)], J(n)) << slot;
  EXPECT_EQ(r[at(pj_hcochob)], J(32) + J(33));
  // The rest: today's specified value at this sun, scaled by the NO2
  // channel's ratio of MCM to specified.
  const PhotolysisRates specified = table_photolysis(cos45);
  const double no2_ratio = J(4) / specified[at(pj_no2)];
  for (int slot : unmapped) EXPECT_DOUBLE_EQ(r[at(slot)], specified[at(slot)] * no2_ratio) << slot;
  // Every mapped slot stays within a factor of 5 of its specified value
  // (a channel of another molecule would not), and slots 26 to 51 stay 0.
  for (const BuiltinChannel& b : channels)
    if (b.mcm[0] != 0) {
      const double q = r[at(b.slot)] / specified[at(b.slot)];
      EXPECT_TRUE(q > 0.2 && q < 5.0) << b.reactions << ": " << q;
    }
  for (int slot = 26; slot <= nphot; ++slot) EXPECT_EQ(r[at(slot)], 0.0);
}

// A frequency file for the methods' tests: J4 and J1 from 6 to 18 h.
TimeSeries j_file() {
  return parse_time_series("time_h,J4,J1,J4obs\n6,0.001,1e-6,0.0005\n12,0.008,3e-5,0.004\n18,0.002,2e-6,0.002\n",
                           "j.csv");
}

// Method "file" for a run from 6 to 18 h.
PhotolysisSetup file_setup(const TimeSeries& file, std::vector<int> channels) {
  PhotolysisSetup setup;
  setup.method = PhotolysisMethod::file;
  setup.file = &file;
  setup.channels = std::move(channels);
  setup.first_h = 6.0;
  setup.last_h = 18.0;
  return setup;
}

std::string setup_error(const PhotolysisSetup& setup) {
  try {
    PhotolysisFrequencies f(setup);
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(PhotolysisMethods, FileNoneFactorCloudAndObservedJ4) {
  const TimeSeries file = j_file();
  const PhotolysisSetup setup = file_setup(file, {1, 4});
  double j[2];
  {
    // The file's values at its times exactly, linear between them.
    const PhotolysisFrequencies f(setup);
    f.evaluate({12.0, 0.3, 1.0}, j);
    EXPECT_EQ(j[0], 3e-5);
    EXPECT_EQ(j[1], 0.008);
    f.evaluate({9.0, 0.3, 1.0}, j);
    EXPECT_DOUBLE_EQ(j[1], 0.0045);
  }
  {
    // factor, then the cloud ratio bounded to [0, 1.5].
    PhotolysisSetup s = setup;
    s.corrections.factor = 2.0;
    s.corrections.cloud_correction = true;
    const PhotolysisFrequencies f(s);
    const double ratios[][2] = {{0.5, 0.5}, {2.0, 1.5}, {-0.2, 0.0}};
    for (const auto& [ratio, used] : ratios) {
      f.evaluate({12.0, 0.3, ratio}, j);
      EXPECT_EQ(j[1], 0.008 * (2.0 * used)) << ratio;
    }
  }
  {
    // scale_to_observed: the J4 used is the measured one and J1 follows it;
    // with the sun down nothing is scaled.
    PhotolysisSetup s = setup;
    s.corrections.observed_j4 = *file.find("J4obs");
    s.corrections.factor = 3.0;  // cancels
    const PhotolysisFrequencies f(s);
    f.evaluate({9.0, 0.5, 1.0}, j);
    EXPECT_DOUBLE_EQ(j[1], 0.00225);
    EXPECT_DOUBLE_EQ(j[0], (1e-6 + 3e-5) / 2 * (0.00225 / 0.0045));
    f.evaluate({9.0, -0.1, 1.0}, j);
    EXPECT_DOUBLE_EQ(j[1], 3.0 * 0.0045);
  }
  {
    // mcm corrected the same way; none is dark whatever the sun.
    PhotolysisSetup s;
    s.channels = {4, 1};
    s.corrections.observed_j4 = *file.find("J4obs");
    const PhotolysisFrequencies f(s);
    f.evaluate({12.0, cos45, 1.0}, j);
    EXPECT_DOUBLE_EQ(j[0], 0.004);
    EXPECT_DOUBLE_EQ(j[1], mcm_frequency(*find_mcm_channel(1), cos45) * 0.004 / 7.338593498667751e-3);
    // At twilight (J4 about 7e-9 s-1) the measurement is not scaled to.
    f.evaluate({12.0, 0.02, 1.0}, j);
    EXPECT_EQ(j[0], mcm_frequency(*find_mcm_channel(4), 0.02));
    s.method = PhotolysisMethod::none;
    PhotolysisFrequencies(s).evaluate({12.0, 1.0, 1.0}, j);
    EXPECT_EQ(j[0] + j[1], 0.0);
  }
}

TEST(PhotolysisMethods, EachSetupErrorNamesWhatIsMissing) {
  const TimeSeries file = j_file();
  PhotolysisSetup setup = file_setup(file, {4, 7});
  EXPECT_EQ(setup_error(setup), "j.csv: no column J7 (wanted by photolysis channel J7 of the mechanism)");
  // After the scenario key that named the file, when known.
  setup.file_named_at = "s.toml: line 7: photolysis.file";
  EXPECT_EQ(setup_error(setup),
            "s.toml: line 7: photolysis.file: j.csv: no column J7 (wanted by photolysis channel J7 of the mechanism)");
  setup.file_named_at.clear();
  setup.channels = {4};
  setup.last_h = 20.0;
  EXPECT_EQ(setup_error(setup),
            "j.csv: column 2 (J4) runs from 6 h (line 2) to 18 h (line 4); the run needs 6 h to 20 h");
  setup.method = PhotolysisMethod::mcm;
  setup.channels = {4, 9};
  setup.channels_of = "mech.txt";
  EXPECT_EQ(setup_error(setup), "mech.txt: photolysis channel J9 has no MCM v3.3.1 parameters (method \"mcm\")");
  try {
    photolysis_method_from_name("tuv", "s.toml: line 9: [photolysis] method");
    ADD_FAILURE();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "s.toml: line 9: [photolysis] method: expected \"specified\", \"mcm\", "
                           "\"file\" or \"none\", found \"tuv\"");
  }
}

}  // namespace
}  // namespace box
