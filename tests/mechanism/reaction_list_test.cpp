// The mechanism against its published reaction list (tests/data/mechanism/
// reactions.txt): reactants, products with their yields and rate laws with
// their parameters, written down apart from the reaction table. Every rate
// coefficient is evaluated here from the literature forms of the rate laws
// and every reaction's contribution to the right-hand side from the list,
// so that a wrong yield, reactant, sign or constant anywhere in the table
// (or a generator that drops or misplaces a term) names its reaction.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {
namespace {

struct Listed {
  int number = 0;
  std::vector<int> reactants;                  // species indices, in rate-product order
  std::vector<std::pair<int, double>> products;  // species index, yield
  std::string law;
  std::vector<double> p;
};

struct ReactionList {
  std::vector<std::string> species;  // names by index - 1
  std::vector<Listed> reactions;
};

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  const auto e = s.find_last_not_of(' ');
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::vector<std::string> split(const std::string& s, char by) {
  std::vector<std::string> parts;
  std::stringstream in(s);
  for (std::string part; std::getline(in, part, by);) parts.push_back(trim(part));
  return parts;
}

ReactionList read_list() {
  ReactionList list;
  std::ifstream in(std::string(BOXMODEL_SOURCE_DIR) + "/tests/data/mechanism/reactions.txt");
  std::map<std::string, int> index;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> f = split(line, ';');
    if (f[0] == "species") {
      std::istringstream names(f[1]);
      for (std::string name; names >> name;) {
        list.species.push_back(name);
        index[name] = static_cast<int>(list.species.size());
      }
      continue;
    }
    Listed r;
    r.number = std::stoi(f[0]);
    std::istringstream reactants(f[1]);
    for (std::string name; reactants >> name;) r.reactants.push_back(index.at(name));
    if (f[2] != "-") {
      for (const std::string& term : split(f[2], '+')) {
        std::istringstream t(term);
        std::string first, second;
        t >> first >> second;
        if (second.empty()) r.products.emplace_back(index.at(first), 1.0);
        else r.products.emplace_back(index.at(second), std::stod(first));
      }
    }
    r.law = f[3];
    if (f.size() > 4) {
      std::istringstream p(f[4]);
      for (double x; p >> x;) r.p.push_back(x);
    }
    list.reactions.push_back(r);
  }
  return list;
}

const ReactionList& published() {
  static const ReactionList list = read_list();
  return list;
}

// Three-body fall-off in its literature form: k0 [M] and kinf scale as
// (T/300)^-n and (T/300)^-m, broadening factor Fc = 0.6.
double falloff(double k0_300, double n, double kinf_300, double m, double t, double air) {
  const double k0 = k0_300 * std::pow(t / 300.0, -n) * air;
  const double kinf = kinf_300 * std::pow(t / 300.0, -m);
  const double x = std::log10(k0 / kinf);
  return k0 * kinf / (k0 + kinf) * std::pow(0.6, 1.0 / (1.0 + x * x));
}

double expected_coefficient(const Listed& r, const double* j, double t, double air) {
  const std::vector<double>& p = r.p;
  if (r.law == "photolysis") return j[static_cast<int>(p[0]) - 1];
  if (r.law == "constant") return p[0];
  if (r.law == "arr2") return p[0] * std::exp(-p[1] / t);
  if (r.law == "arr2_share") return p[0] * std::exp(-p[1] / t) * p[2];
  if (r.law == "thermal_t2") return p[0] * t * t * std::exp(-p[1] / t);
  if (r.law == "troe") return falloff(p[0], p[1], p[2], p[3], t, air);
  if (r.law == "troee") return p[0] * std::exp(-p[1] / t) * falloff(p[2], p[3], p[4], p[5], t, air);
  switch (r.number) {
    case 27:  // O + O2 + M
      return 6.0e-34 * air * std::pow(t / 300.0, -2.3);
    case 36:  // HO2 + HO2, bimolecular and termolecular channels
      return 2.3e-13 * std::exp(600.0 / t) + 1.7e-33 * air * std::exp(1000.0 / t);
    case 37:  // the same with the water-vapour enhancement
      return 3.22e-34 * std::exp(2800.0 / t) + 2.38e-54 * air * std::exp(3200.0 / t);
    case 49: {  // HNO3 + HO through its complex, the k3 term without [M]
      const double k0 = 7.2e-15 * std::exp(785.0 / t);
      const double k2 = 4.1e-16 * std::exp(1440.0 / t);
      const double k3 = 1.9e-33 * std::exp(725.0 / t);
      return k0 + k3 * k2 / (k2 + k3);
    }
    case 61:  // CO + HO
      return 1.5e-13 + 1.5e-13 * 2.439e-20 * air;
  }
  ADD_FAILURE() << "no rate law for reaction " << r.number;
  return 0.0;
}

TEST(PublishedMechanism, SpeciesAndReactionsAreAllListed) {
  const ReactionList& list = published();
  ASSERT_EQ(list.species.size(), static_cast<std::size_t>(nspec));
  for (int s = 1; s <= nspec; ++s)
    EXPECT_EQ(mech::species_names[at(s)], list.species[at(s)]) << "species " << s;
  ASSERT_EQ(list.reactions.size(), static_cast<std::size_t>(nreact));
  for (int n = 1; n <= nreact; ++n) EXPECT_EQ(list.reactions[at(n)].number, n);
}

// All 249 coefficients at a cold, thin and a warm, dense air state, with a
// different frequency in every photolysis slot.
TEST(PublishedMechanism, EveryRateCoefficientAtTwoTemperatures) {
  ASSERT_EQ(published().reactions.size(), static_cast<std::size_t>(nreact));
  std::array<double, nphot> j{};
  for (int k = 1; k <= nphot; ++k) j[at(k)] = 1e-4 * (1.0 + 0.37 * k);
  for (const auto& [t, air] : {std::pair{250.0, 1.9e19}, std::pair{310.0, 2.6e19}}) {
    std::array<double, nreact> rconst{};
    racm_update_rconst(j.data(), rconst.data(), air, t);
    for (const Listed& r : published().reactions) {
      const double expected = expected_coefficient(r, j.data(), t, air);
      EXPECT_NEAR(rconst[at(r.number)], expected, 1e-13 * std::fabs(expected))
          << "reaction " << r.number << " (" << r.law << ") at " << t << " K";
    }
  }
}

// Each reaction alone (its coefficient 1, all others 0) at a state where
// every species has a different concentration: each derivative is the net
// coefficient (yield minus times consumed) times the product of the
// reactant concentrations.
TEST(PublishedMechanism, EveryReactionsTermsInTheRightHandSide) {
  ASSERT_EQ(published().reactions.size(), static_cast<std::size_t>(nreact));
  std::array<double, nvar> v{};
  for (int s = 1; s <= nvar; ++s) v[at(s)] = 1.0 + 0.013 * s;
  const std::array<double, nfix> fixed = {1.3, 1.7};  // H2O, M
  for (const Listed& r : published().reactions) {
    std::array<double, nreact> rct{};
    rct[at(r.number)] = 1.0;
    std::array<double, nvar> vdot{};
    racm_fun(v.data(), fixed.data(), rct.data(), vdot.data());
    double rate = 1.0;
    std::array<double, nvar> net{};
    for (int s : r.reactants) {
      rate *= s <= nvar ? v[at(s)] : fixed[at(s - nvar)];
      if (s <= nvar) net[at(s)] -= 1.0;
    }
    for (const auto& [s, yield] : r.products) net[at(s)] += yield;
    for (int s = 1; s <= nvar; ++s)
      EXPECT_NEAR(vdot[at(s)], net[at(s)] * rate, 1e-14 * rate)
          << "reaction " << r.number << ", species " << published().species[at(s)];
  }
}

}  // namespace
}  // namespace box
