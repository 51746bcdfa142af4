// The built-in mechanism written as a mechanism file and read back through
// the run-time reader: the same reactions, and every rate coefficient the
// compiled one (times M or H2O where that is a reactant) to 1e-12 over the
// temperatures and densities of the troposphere.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "chemistry/builtin_mechanism_file.hpp"
#include "chemistry/builtin_photolysis.hpp"
#include "common/one_based.hpp"
#include "io/mechanism_file.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_table.hpp"
#include "mechanism/runtime_rates.hpp"

namespace box {
namespace {

TEST(BuiltinMechanismFile, SameReactionsAndTheCompiledCoefficients) {
  const std::string text = builtin_mechanism_file();
  const Mechanism m = read_mechanism_text(text, "model.fac");
  ASSERT_EQ(m.species_count(), nvar);
  ASSERT_EQ(m.reaction_count(), nreact);
  EXPECT_TRUE(m.notes.empty()) << m.notes[0];  // every species declared and used
  EXPECT_TRUE(m.ro2.empty());
  for (int s = 1; s <= nvar; ++s) EXPECT_EQ(m.species[at(s)], mech::species_names[at(s)]);

  // Reactants without the fixed species, products with their yields.
  std::array<int, nreact> fixed{};  // the fixed species the file folds into k, 0 if none
  for (const mech::Reaction& r : mech::reactions) {
    const RuntimeReaction& q = m.reactions[at(r.number)];
    std::vector<int> reactants;
    for (int k = 0; k < r.n_factors; ++k) {
      const int s = r.factors[static_cast<std::size_t>(k)];
      if (mech::is_fixed(s)) fixed[at(r.number)] = s;
      else reactants.push_back(s - 1);
    }
    EXPECT_EQ(q.reactants, reactants) << "R" << r.number;
    ASSERT_EQ(q.products.size(), static_cast<std::size_t>(r.n_products)) << "R" << r.number;
    for (int k = 0; k < r.n_products; ++k) {
      EXPECT_EQ(q.products[static_cast<std::size_t>(k)].species, r.products[static_cast<std::size_t>(k)].species - 1);
      EXPECT_EQ(q.products[static_cast<std::size_t>(k)].coefficient, r.products[static_cast<std::size_t>(k)].yield);
    }
  }

  // Photolysis: a distinct frequency for each channel the file names; the
  // built-in slots from the same MCM frequencies through the photolysis
  // map, and a channel above 100 standing for its slot alone.
  std::array<double, builtin_mcm_channels.size()> mcm{};
  for (std::size_t c = 0; c < mcm.size(); ++c) mcm[c] = 1.0e-5 * (1.0 + 0.37 * static_cast<double>(c));
  PhotolysisRates slots = BuiltinPhotolysisMap().rates(mcm);
  std::vector<double> j(m.photolysis_channels.size());
  for (std::size_t s = 0; s < j.size(); ++s) {
    const int channel = m.photolysis_channels[s];
    const auto* at_mcm = std::find(builtin_mcm_channels.begin(), builtin_mcm_channels.end(), channel);
    if (at_mcm != builtin_mcm_channels.end()) {
      j[s] = mcm[static_cast<std::size_t>(at_mcm - builtin_mcm_channels.begin())];
    } else {
      ASSERT_GT(channel, builtin_channel_offset);
      ASSERT_LE(channel, builtin_channel_offset + nphot);
      j[s] = 3.0e-3 + 1.0e-6 * channel;
      slots[at(channel - builtin_channel_offset)] = j[s];
    }
  }

  RuntimeRates rates(m);
  int compared = 0;
  for (const double temp : {215.0, 250.0, 298.15, 318.0})
    for (const double cm : {2.0e18, 1.2e19, 2.46e19, 3.2e19})
      for (const double h2o : {1.0e15, 6.0e17}) {
        MechanismAir air;
        air.temp = temp;
        air.m = cm;
        air.h2o = h2o;
        rates.set_conditions(air, j);
        for (int n = 1; n <= nreact; ++n) {
          double expected = racm_rate_coefficient(n, slots.data(), cm, temp);
          if (fixed[at(n)] == ind_m) expected = expected * cm;
          if (fixed[at(n)] == ind_h2o) expected = expected * h2o;
          const double got = rates.k()[at(n)];
          ASSERT_GT(expected, 0.0) << "R" << n;
          ASSERT_LE(std::abs(got - expected), 1.0e-12 * expected)
              << "R" << n << " at " << temp << " K, M = " << cm << ": " << m.reactions[at(n)].rate_text;
          ++compared;
        }
      }
  EXPECT_EQ(compared, 32 * nreact);

  // Reaction 27 says what the user who edits it should know.
  const std::size_t r27 = text.find("* R27");
  ASSERT_NE(r27, std::string::npos);
  const std::string comment = text.substr(r27, text.find(';', r27) - r27);
  EXPECT_NE(comment.find("k0*[M]^2*[O3P]"), std::string::npos) << comment;
  EXPECT_NE(comment.find("0.2095"), std::string::npos) << comment;
}

}  // namespace
}  // namespace box
