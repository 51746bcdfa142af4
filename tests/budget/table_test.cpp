// Interval sums and species budgets on made-up integrals whose every row is
// known: signs from the net coefficients, sorting, named processes, the
// clipping and net rows.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <stdexcept>
#include <vector>

#include "budget/families.hpp"
#include "budget/intervals.hpp"
#include "budget/table.hpp"
#include "common/one_based.hpp"
#include "mechanism/parameters.hpp"

namespace box::budget {
namespace {

std::vector<double> zeros(int n) { return std::vector<double>(static_cast<std::size_t>(n), 0.0); }

TEST(IntervalAccumulator, SumsStepsAndStartsAfreshAtEachClose) {
  IntervalAccumulator acc;
  acc.start(5.0);
  std::vector<double> step = zeros(nreact);
  std::array<double, nvar> clip{};
  step[at(1)] = 0.25;
  clip[at(ind_o3)] = 0.5;
  acc.add_step(step, clip);
  step[at(1)] = 0.5;
  acc.add_step(step, clip);
  std::array<double, nvar> held{};
  held[at(ind_no)] = -1.5;
  acc.add_adjustment("constraint", held);
  const IntervalIntegrals first = acc.close(6.0);
  EXPECT_EQ(first.start_h, 5.0);
  EXPECT_EQ(first.end_h, 6.0);
  EXPECT_EQ(first.steps, 2);
  EXPECT_EQ(first.process[at(1)], 0.75);
  ASSERT_NE(first.adjustment("clipping"), nullptr);
  EXPECT_EQ(first.adjustment("clipping")->ppb[at(ind_o3)], 1.0);
  EXPECT_EQ(first.adjustment("constraint")->ppb[at(ind_no)], -1.5);

  const IntervalIntegrals second = acc.close(7.0);
  EXPECT_EQ(second.start_h, 6.0);
  EXPECT_EQ(second.steps, 0);
  EXPECT_EQ(second.process[at(1)], 0.0);
  EXPECT_EQ(second.adjustment("constraint"), nullptr);

  EXPECT_THROW(acc.add_step(zeros(nreact + 1), clip), std::invalid_argument);
  EXPECT_THROW(acc.add_adjustment("constraint", zeros(3)), std::invalid_argument);
}

// The rows of a budget by name.
const BudgetRow* find(const std::vector<BudgetRow>& rows, const std::string& name) {
  for (const BudgetRow& r : rows)
    if (r.name == name) return &r;
  return nullptr;
}

TEST(SpeciesBudget, ReactionsSignedByTheirNetCoefficients) {
  IntervalIntegrals in;
  in.process = zeros(nreact);
  in.process[at(1)] = 3.0;    // NO2 -> O3P + NO: NO2 loss, NO production
  in.process[at(51)] = 2.0;   // O3 + NO -> NO2
  in.process[at(55)] = 7.0;   // NO3 + NO2 -> NO + NO2: NO2 is a catalyst
  in.process[at(38)] = 0.5;   // O3P + NO -> NO2
  in.process[at(100)] = 0.0;  // nothing
  in.adjustments.push_back({"clipping", {}});
  in.adjustments[0].ppb[at(ind_no2)] = 0.125;

  const std::vector<BudgetRow> no2 = species_budget(ind_no2, in);
  ASSERT_EQ(no2.size(), 5u);  // R1, R51, R38, clipping, net; not R55
  EXPECT_EQ(no2[0].name, "R1");
  EXPECT_EQ(no2[0].equation, "NO2 -> O3P + NO");
  EXPECT_EQ(no2[0].loss, 3.0);
  EXPECT_EQ(no2[0].production, 0.0);
  EXPECT_EQ(no2[1].name, "R51");
  EXPECT_EQ(no2[1].production, 2.0);
  EXPECT_EQ(no2[2].name, "R38");
  EXPECT_EQ(no2[3].name, "clipping");
  EXPECT_EQ(no2[3].production, 0.125);
  EXPECT_EQ(no2[4].name, "net");
  EXPECT_EQ(no2[4].production, 2.625);
  EXPECT_EQ(no2[4].loss, 3.0);
  EXPECT_EQ(find(no2, "R55"), nullptr);

  const std::vector<BudgetRow> no = species_budget(ind_no, in);
  EXPECT_EQ(find(no, "R55")->production, 7.0);
  EXPECT_EQ(no[0].name, "R55");  // largest first
  EXPECT_EQ(find(no, "R51")->loss, 2.0);
  EXPECT_EQ(find(no, "clipping")->production + find(no, "clipping")->loss, 0.0);
}

TEST(SpeciesBudget, PartlyRegeneratedReactantAppearsOnceWithItsNetEffect) {
  // HC3 + HO -> ... + 0.036 HO: HO's net coefficient is -0.964.
  IntervalIntegrals in;
  in.process = zeros(nreact);
  in.process[at(66)] = 1.0;
  const std::vector<BudgetRow> ho = species_budget(ind_ho, in);
  ASSERT_NE(find(ho, "R66"), nullptr);
  EXPECT_EQ(find(ho, "R66")->loss, 0.964);
  EXPECT_EQ(find(ho, "R66")->production, 0.0);
}

TEST(SpeciesBudget, NamedProcessesAndAdjustmentsGetRowsOfTheirOwn) {
  ProcessList processes;
  processes.named = {{"emission", ind_no, 1.0},
                     {"deposition", ind_o3, -1.0},
                     {"emission", ind_no, 1.0},  // a second source of the same kind
                     {"deposition", ind_no2, -1.0}};
  IntervalIntegrals in;
  in.process = zeros(processes.size());
  in.process[at(51)] = 1.0;  // NO loss 1
  in.process[nreact + 0] = 0.75;
  in.process[nreact + 1] = 9.0;
  in.process[nreact + 2] = 0.5;
  in.adjustments.push_back({"clipping", {}});
  in.adjustments.push_back({"constraint", {}});
  in.adjustments[1].ppb[at(ind_no)] = -4.0;
  const std::vector<BudgetRow> no = species_budget(ind_no, in, processes);
  ASSERT_EQ(no.size(), 5u);  // constraint, emission, R51, clipping, net
  EXPECT_EQ(no[0].name, "constraint");
  EXPECT_EQ(no[0].loss, 4.0);
  EXPECT_EQ(no[1].name, "emission");
  EXPECT_EQ(no[1].production, 1.25);
  EXPECT_EQ(no[2].name, "R51");
  EXPECT_EQ(no[3].name, "clipping");
  EXPECT_EQ(no.back().production, 1.25);
  EXPECT_EQ(no.back().loss, 5.0);
  EXPECT_EQ(find(no, "deposition"), nullptr);
  EXPECT_EQ(find(species_budget(ind_o3, in, processes), "deposition")->loss, 9.0);
}

TEST(SpeciesBudget, NamesOfSpeciesAndReactions) {
  EXPECT_EQ(species_index("O3"), ind_o3);
  EXPECT_EQ(species_index("BRO"), ind_bro);
  EXPECT_EQ(species_index("HO2"), ind_ho2);
  EXPECT_EQ(species_index("o3"), ind_o3);  // one lookup for every reader: any case
  EXPECT_EQ(species_index("XYZ"), 0);
  EXPECT_EQ(reaction_name(249), "R249");
}

TEST(FamilyBudget, InternalReactionsCancelWeightsApplyAdjustmentsNet) {
  // NOy-like family NO + NO2 + 2 N2O5: R1 (NO2 -> O3P + NO) and R51
  // (O3 + NO -> NO2) exchange members and vanish; R56 (NO3 + NO2 -> N2O5)
  // makes 2 - 1 = 1; R42 (HO + NO2 -> HNO3) loses 1. A constraint that
  // moves 0.5 ppb from NO to NO2 nets to zero.
  const Families f = Families::parse({{"NOy", {"NO", " NO2 ", "2 N2O5"}}});
  IntervalIntegrals in;
  in.process = zeros(nreact);
  in.process[at(1)] = 7.0;
  in.process[at(51)] = 6.0;
  in.process[at(56)] = 0.25;
  in.process[at(42)] = 0.5;
  Adjustment held{"constraint", {}};
  held.ppb[at(ind_no)] = -0.5;
  held.ppb[at(ind_no2)] = 0.5;
  held.ppb[at(ind_n2o5)] = 0.125;
  in.adjustments = {{"clipping", {}}, held};
  const std::vector<BudgetRow> rows = family_budget(f.list[0], in);
  ASSERT_EQ(rows.size(), 5u);  // R42, R56, constraint, clipping, net
  EXPECT_EQ(rows[0].name, "R42");
  EXPECT_EQ(rows[0].loss, 0.5);
  EXPECT_EQ(rows[1].name, "R56");
  EXPECT_EQ(rows[1].production, 0.25);
  EXPECT_EQ(rows[2].name, "constraint");
  EXPECT_EQ(rows[2].production, 0.25);  // 2 x 0.125; NO and NO2 cancel
  EXPECT_EQ(rows[4].production - rows[4].loss, 0.0);
}

TEST(FamilyBudget, ParseErrorsNameTheKeyFamilyAndEntry) {
  const auto message = [](std::vector<std::pair<std::string, std::vector<std::string>>> t) {
    try {
      Families::parse(t);
    } catch (const std::invalid_argument& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const Families ok = Families::parse({{"Ox", {"O3", "NO2", "O3P", "O1D"}}, {"N", {"0.5D0 NO3"}}});
  EXPECT_EQ(ok.list[1].members[0].weight, 0.5);
  EXPECT_EQ(ok.list[0].members[3].species, ind_o1d);
  EXPECT_EQ(message({{"NOy", {"2x N2O5"}}}).rfind("[output] families.NOy: \"2x N2O5\": expected", 0), 0u);
  EXPECT_NE(message({{"Ox", {"O3", "XX"}}}).find("families.Ox: \"XX\": \"XX\" is not"), std::string::npos);
  EXPECT_NE(message({{"Ox", {"H2O"}}}).find("not an integrated species"), std::string::npos);
  EXPECT_NE(message({{"Ox", {"-1 O3"}}}).find("positive"), std::string::npos);
  EXPECT_NE(message({{"Ox", {"O3", "1 o3"}}}).find("named twice"), std::string::npos);
  EXPECT_NE(message({{"Ox", {}}}).find("families.Ox: no members"), std::string::npos);
  EXPECT_NE(message({{"NO2", {"NO2"}}}).find("is a species"), std::string::npos);
  EXPECT_NE(message({{"Ox", {"O3"}}, {"Ox", {"NO2"}}}).find("twice"), std::string::npos);
}

}  // namespace
}  // namespace box::budget
