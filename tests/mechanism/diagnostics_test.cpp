// The diagnostic reaction lists found in the reaction structure, for the
// built-in mechanism (held to docs/diagnostics.md, which prints them) and
// for a mechanism file; and the diagnostics from them against hand sums.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "io/mechanism_file.hpp"
#include "mechanism/diagnostics.hpp"
#include "mechanism/mechanism_report.hpp"
#include "mechanism/parameters.hpp"
#include "mechanism/runtime_mechanism.hpp"

namespace box::diag {
namespace {

std::vector<int> numbers(const std::vector<DiagnosticReaction>& list) {
  std::vector<int> n;
  for (const DiagnosticReaction& r : list) n.push_back(r.reaction + 1);
  return n;
}

const DiagnosticReaction* find(const std::vector<DiagnosticReaction>& list, int number) {
  for (const DiagnosticReaction& r : list)
    if (r.reaction + 1 == number) return &r;
  return nullptr;
}

TEST(BuiltinDiagnostics, ListsFollowTheChemistry) {
  const DiagnosticLists d = builtin_diagnostics();
  // Peroxy radicals: HO2, the 19 organic peroxy radicals of the RO2 + NO
  // block and the XO2 operator; O3, O3P, NO3 and BRO, which also oxidise
  // NO, are not among them.
  std::vector<std::string> names;
  for (int s : d.peroxy) names.push_back(d.species[static_cast<std::size_t>(s)]);
  ASSERT_EQ(names.size(), 21u);
  EXPECT_EQ(names.front(), "HO2");
  for (const char* not_peroxy : {"O3", "O3P", "NO3", "BRO"})
    EXPECT_EQ(std::count(names.begin(), names.end(), not_peroxy), 0) << not_peroxy;
  EXPECT_EQ(d.ro2.size(), 20u);
  // P(O3): HO2 + NO and the 20 RO2 + NO reactions; weights are the NO
  // turned into NO2 (HC3P + NO makes 0.941 NO2 and 0.059 ONIT; OLND + NO
  // makes 2 NO2 from one NO).
  std::vector<int> p = numbers(d.production);
  std::vector<int> expected_p{44};
  for (int n = 134; n <= 152; ++n) expected_p.push_back(n);
  expected_p.push_back(239);
  EXPECT_EQ(p, expected_p);
  EXPECT_EQ(find(d.production, 136)->weight, 0.941);
  EXPECT_EQ(find(d.production, 152)->weight, 1.0);
  // L(O3): O1D + H2O, O3 + HO, O3 + HO2, NO2 + HO and the ozonolysis of
  // the ten unsaturated species (109-118); not O3 + NO, NO2, BR, BRO or
  // the aromatic adducts.
  std::vector<int> l = numbers(d.loss);
  std::vector<int> expected_l{31, 32, 33, 42};
  for (int n = 109; n <= 118; ++n) expected_l.push_back(n);
  EXPECT_EQ(l, expected_l);
  // OH reactivity: every HO + X, X = M for the H2 share (59); HO + HO2 is in.
  EXPECT_EQ(find(d.oh_reactivity, 59)->partner, ind_m - 1);
  EXPECT_NE(find(d.oh_reactivity, 34), nullptr);
  EXPECT_EQ(find(d.oh_reactivity, 1), nullptr);
  EXPECT_EQ(d.oh_reactivity.size(), 43u);
}

TEST(BuiltinDiagnostics, DocumentPrintsTheLists) {
  // docs/diagnostics.md holds markdown(builtin_diagnostics()) between two
  // marker lines; BOXMODEL_WRITE_DOCS=1 test_mechanism
  // --gtest_filter='*DocumentPrints*' rewrites it when the chemistry changes.
  std::ifstream in(std::string(BOXMODEL_SOURCE_DIR) + "/docs/diagnostics.md");
  ASSERT_TRUE(in) << "docs/diagnostics.md";
  std::stringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  const std::string begin = "<!-- generated lists: begin -->\n", end = "<!-- generated lists: end -->";
  const auto b = text.find(begin), e = text.find(end);
  ASSERT_NE(b, std::string::npos);
  ASSERT_NE(e, std::string::npos);
  const std::string generated = markdown(builtin_diagnostics());
  if (std::getenv("BOXMODEL_WRITE_DOCS") != nullptr) {  // regenerate the table in place
    std::ofstream(std::string(BOXMODEL_SOURCE_DIR) + "/docs/diagnostics.md", std::ios::binary)
        << text.substr(0, b + begin.size()) << generated << text.substr(e);
    return;
  }
  EXPECT_EQ(text.substr(b + begin.size(), e - b - begin.size()), generated) << generated;
}

// A small file mechanism written as the MCM writes its files (OH, O for
// O3P, water in the rate, RO2 list).
constexpr const char* file_text = R"(VARIABLE O3 O O1D OH HO2 NO NO2 CO C2H4 CH3O2 CH3O HNO3 CH3NO3 ;
RO2 = CH3O2 ;
% J<1> : O3 = O1D ;
% 2.14D-10*H2O : O1D = OH + OH ;
% 3.2D-11*O2 : O1D = O ;
% 1.7D-12 : OH + O3 = HO2 ;
% 2.0D-16 : HO2 + O3 = OH ;
% 1.1D-11 : OH + NO2 = HNO3 ;
% 1.4D-12 : NO + O3 = NO2 ;
% 8.0D-12 : HO2 + NO = OH + NO2 ;
% 2.3D-12 : CH3O2 + NO = CH3O + NO2 ;
% 0.1D-12 : CH3O2 + NO = CH3NO3 ;
% 2.4D-13 : OH + CO = HO2 ;
% 8.0D-12 : OH + C2H4 = CH3O2 ;
% 1.0D-18 : O3 + C2H4 = CO + HO2 ;
% 1.0D-14 : OH = HO2 ;
)";

TEST(FileDiagnostics, ListsAndHandSums) {
  const Mechanism m = read_mechanism_text(file_text, "small.fac");
  const DiagnosticLists d = file_diagnostics(m);
  // Reactions are numbered as written, from 1 (line 3).
  EXPECT_EQ(numbers(d.production), (std::vector<int>{8, 9}));  // CH3NO3 channel makes no NO2
  EXPECT_EQ(numbers(d.loss), (std::vector<int>{2, 4, 5, 6, 13}));
  EXPECT_EQ(numbers(d.oh_reactivity), (std::vector<int>{4, 6, 11, 12, 14}));
  ASSERT_EQ(d.ro2.size(), 1u);
  EXPECT_EQ(d.species[static_cast<std::size_t>(d.ro2[0])], "CH3O2");
  ASSERT_EQ(d.peroxy.size(), 2u);
  // `boxmodel mechanism check` prints the same lists by term.
  const std::string report = mechanism_check_report(m, MechanismAir{});
  const std::string section = "diagnostics (docs/diagnostics.md), the reactions counted:\n"
                              "  OH reactivity: 5 reactions: R4 R6 R11 R12 R14\n"
                              "  RO2 sum: 1 species: CH3O2\n"
                              "  P(O3) HO2 + NO: 1 reaction: R8\n"
                              "  P(O3) RO2 + NO: 1 reaction: R9\n"
                              "  L(O3) O1D + H2O: 1 reaction: R2\n"
                              "  L(O3) O3 + HO: 1 reaction: R4\n"
                              "  L(O3) O3 + HO2: 1 reaction: R5\n"
                              "  L(O3) O3 + alkene: 1 reaction: R13\n"
                              "  L(O3) NO2 + HO: 1 reaction: R6\n";
  EXPECT_NE(report.find(section), std::string::npos) << report;
  // One time, worked by hand: air 2.5e19 cm-3; ppb = 2.5e10 cm-3.
  const double ppb = 2.5e10, air = 2.5e19;
  std::vector<double> c(static_cast<std::size_t>(m.species_count()), 0.0);
  const auto set = [&](const char* name, double v) { c[static_cast<std::size_t>(*m.find_species(name))] = v; };
  set("O3", 40 * ppb);
  set("O1D", 1e-2);
  set("OH", 4e6);
  set("HO2", 1e8);
  set("NO", 1 * ppb);
  set("NO2", 5 * ppb);
  set("CO", 100 * ppb);
  set("C2H4", 2 * ppb);
  set("CH3O2", 0.02 * ppb);
  std::vector<double> k{1e-5, 5e-7, 6e9, 1.7e-12, 2.0e-16, 1.1e-11, 1.4e-12,
                        8.0e-12, 2.3e-12, 0.1e-12, 2.4e-13, 8.0e-12, 1.0e-18, 1.0e-14};
  const Diagnostics x = diagnostics_at(d, c, k, air);
  // 1.7e-12*1e12 + 1.1e-11*1.25e11 + 2.4e-13*2.5e12 + 8e-12*5e10 + 1e-14
  EXPECT_NEAR(x.oh_reactivity, 1.7 + 1.375 + 0.6 + 0.4 + 1e-14, 1e-12);
  EXPECT_NEAR(x.ro2, 0.02, 1e-15);
  // P = (8e-12*1e8 + 2.3e-12*5e8) * 2.5e10 ppb-1... in ppb h-1:
  const double p = (8e-12 * 1e8 * 2.5e10 + 2.3e-12 * 5e8 * 2.5e10) / ppb * 3600;
  EXPECT_NEAR(x.p_o3, p, 1e-12 * p);
  const double l = (5e-7 * 1e-2 + 1.7e-12 * 4e6 * 1e12 + 2e-16 * 1e8 * 1e12 +
                    1.1e-11 * 4e6 * 1.25e11 + 1e-18 * 1e12 * 5e10) / ppb * 3600;
  EXPECT_NEAR(x.l_o3, l, 1e-12 * l);
  // From integrals: the same weights, per hour.
  std::vector<double> integral(k.size(), 0.0);
  integral[8] = 3.0;
  integral[9] = 100.0;
  integral[1] = 0.5;
  const OzoneRates o = ozone_rates(d, integral, 0.5);
  EXPECT_EQ(o.p_o3, 6.0);
  EXPECT_EQ(o.l_o3, 1.0);
}

}  // namespace
}  // namespace box::diag
