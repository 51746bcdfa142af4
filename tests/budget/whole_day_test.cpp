// The example day with budgets on: the species bit for bit as with budgets
// off, and for every species and hour the change equal to its reactions
// plus clipping, in memory and as written to budgets.csv.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench/example_day.hpp"
#include "budget/families.hpp"
#include "budget/files.hpp"
#include "budget/table.hpp"
#include "chemistry/species_map.hpp"
#include "mechanism/structure.hpp"

namespace box::budget {
namespace {

using bench::Day;
using bench::DayState;
using bench::StepInputs;
using Species = std::array<double, nvar>;

Species ppb_of(const DayState& s) {
  Species x{};
  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const SpeciesSource& src = species_map[k];
    x[k] = (src.vc_slot != 0 ? s.vc[at(src.vc_slot)] : s.radicals.*(src.radical)) * 1e9;
  }
  return x;
}

// Families written after the species: odd oxygen, and NOy with N2O5
// weighted by its two nitrogen atoms.
Families families() {
  return Families::parse({{"Ox", {"O3", "NO2", "O3P", "O1D"}},
                          {"NOy", {"NO", "NO2", "NO3", "HONO", "HNO3", "HNO4", "PAN", "2 N2O5"}}});
}

// The chemistry of the day with budgets, reported to `files`.
class BudgetDay {
 public:
  explicit BudgetDay(BudgetFiles& files) : files_(files) {}
  void step(double* vc, RadicalSlots& radicals, const StepInputs& s) {
    chemistry_.racm_interface_budget(vc, s.dt, s.t, s.rho, s.moist, radicals, s.ph, budget_);
    files_.add_step(budget_.reaction, budget_.clipping);
  }

 private:
  BudgetFiles& files_;
  ChemistryStep chemistry_;
  StepBudget budget_;
};

struct DayRun {
  std::vector<DayState> states;  // before every step and at the end
  std::vector<IntervalIntegrals> hours;
  std::filesystem::path dir;
};

class WholeDay : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const Day& day = bench::example_day();
    std::string pattern =
        (std::filesystem::temp_directory_path() / "boxmodel-budget-day-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = new std::filesystem::path(pattern);
    plain_ = new std::vector<DayState>;
    with_ = new std::vector<DayState>;
    bench::RosenbrockDayStep plain_chemistry;
    bench::replay_day(day, plain_chemistry,
                      [&](std::size_t, const DayState& s) { plain_->push_back(s); });
    BudgetFiles files(*dir_, default_budget_species(), {}, families());
    files.begin({});
    BudgetDay chemistry(files);
    double hour = 5.0;
    bench::replay_day(day, chemistry, [&](std::size_t n, const DayState& s) {
      with_->push_back(s);
      if (n % 12 == 0 || n == day.steps.size()) {
        OutputSample sample;
        sample.time_h = hour + static_cast<double>(n) / 12.0;
        files.sample(sample);
      }
    });
    files.finish();
    hours_ = new std::vector<IntervalIntegrals>(files.intervals());
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    std::filesystem::remove_all(*dir_, ignored);
    delete dir_;
    delete plain_;
    delete with_;
    delete hours_;
  }
  static std::filesystem::path* dir_;
  static std::vector<DayState>* plain_;
  static std::vector<DayState>* with_;
  static std::vector<IntervalIntegrals>* hours_;
};
std::filesystem::path* WholeDay::dir_ = nullptr;
std::vector<DayState>* WholeDay::plain_ = nullptr;
std::vector<DayState>* WholeDay::with_ = nullptr;
std::vector<IntervalIntegrals>* WholeDay::hours_ = nullptr;

TEST_F(WholeDay, SpeciesAreBitIdenticalWithBudgetsOn) {
  ASSERT_EQ(plain_->size(), with_->size());
  for (std::size_t n = 0; n < plain_->size(); ++n) {
    ASSERT_EQ(std::memcmp(&(*plain_)[n].vc, &(*with_)[n].vc, sizeof(ConcentrationVector)), 0)
        << "step " << n;
    ASSERT_EQ(std::memcmp(&(*plain_)[n].radicals, &(*with_)[n].radicals, sizeof(RadicalSlots)),
              0)
        << "step " << n;
  }
}

TEST_F(WholeDay, EverySpeciesCloses) {
  // Every hour: x(end) - x(start) = sum_n net * I_n + clipping, to 1e-9 of
  // the gross turnover plus 1e-12 ppb, plus the rounding of x itself (a few
  // units in its last place per step; it decides only for species whose
  // hourly turnover is below 1e-6 of their amount, such as CO2).
  ASSERT_EQ(hours_->size(), 17u);
  constexpr double eps = 2.220446049250313e-16;
  double worst = 0;  // largest residual relative to the strict tolerance
  std::string worst_where;
  std::set<std::string> beyond_strict;  // measured: CO2 and CH4 only
  for (std::size_t h = 0; h < hours_->size(); ++h) {
    const IntervalIntegrals& in = (*hours_)[h];
    ASSERT_EQ(in.steps, 12);
    const Species x0 = ppb_of((*with_)[12 * h]);
    const Species x1 = ppb_of((*with_)[12 * (h + 1)]);
    const Adjustment* clip = in.adjustment("clipping");
    ASSERT_NE(clip, nullptr);
    for (int s = 1; s <= nvar; ++s) {
      double net = 0, gross = 0;
      for (int n = 1; n <= nreact; ++n) {
        const double v = mech::net_coef(s, n) * in.process[at(n)];
        net += v;
        gross += std::abs(v);
      }
      const double delta = x1[at(s)] - x0[at(s)];
      const double residual = std::abs(delta - net - clip->ppb[at(s)]);
      const double strict = 1e-9 * (gross + std::abs(delta)) + 1e-12;
      const double representation = 12 * 8 * eps * std::max(x0[at(s)], x1[at(s)]);
      EXPECT_LE(residual, strict + representation)
          << mech::species_names[at(s)] << " hour " << h << ": change " << delta
          << ", reactions " << net << ", clipping " << clip->ppb[at(s)];
      if (residual > strict) beyond_strict.insert(std::string(mech::species_names[at(s)]));
      if (residual / strict > worst) {
        worst = residual / strict;
        worst_where = std::string(mech::species_names[at(s)]) + " hour " + std::to_string(h);
      }
    }
  }
  std::printf("largest closure residual: %.3g of the strict tolerance (%s); beyond it:", worst,
              worst_where.c_str());
  for (const std::string& name : beyond_strict) std::printf(" %s", name.c_str());
  std::printf("\n");
  // Species that carry chemistry (not the reservoirs of hundreds of ppb to
  // ppm) close to the strict tolerance.
  EXPECT_LE(beyond_strict.size(), 2u);
  for (const char* name : {"O3", "NO", "NO2", "HO", "HO2", "BRO", "HCHO", "PAN"})
    EXPECT_EQ(beyond_strict.count(name), 0u) << name;
}

TEST_F(WholeDay, BudgetFileNetRowsAreTheHourlyChanges) {
  std::ifstream in(*dir_ / "budgets.csv");
  std::string line;
  std::getline(in, line);
  int checked = 0;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string field;
    while (std::getline(ss, field, ',')) f.push_back(field);
    ASSERT_EQ(f.size(), 7u) << line;
    if (f[3] != "net") continue;
    const double start = std::strtod(f[0].c_str(), nullptr);
    const auto h = static_cast<std::size_t>(std::lround(start - 5.0));
    std::vector<FamilyMember> members{{species_index(f[2]), 1.0}};
    for (const Family& family : families().list)
      if (family.name == f[2]) members = family.members;
    double delta = 0;
    for (const FamilyMember& m : members)
      delta += m.weight * (ppb_of((*with_)[12 * (h + 1)])[at(m.species)] -
                           ppb_of((*with_)[12 * h])[at(m.species)]);
    const double p = std::strtod(f[5].c_str(), nullptr), l = std::strtod(f[6].c_str(), nullptr);
    EXPECT_NEAR(p - l, delta, 1e-9 * (p + l + std::abs(delta)) + 1e-12) << line;
    ++checked;
  }
  EXPECT_EQ(checked, 17 * (6 + 2));
}

TEST_F(WholeDay, FamilyNetIsTheWeightedSumOfItsMembersNets) {
  // Each hour the family's net, built from the reactions' weighted net
  // coefficients with the internal ones dropped, equals the weighted sum of
  // the members' own budgets: nothing lost in the cancellation. Reactions
  // inside Ox (NO2 photolysis, O3P + O2, O3 + NO, O3 photolysis) are not
  // among its rows; O1D + H2O is a loss.
  for (const Family& family : families().list) {
    for (const IntervalIntegrals& in : *hours_) {
      const std::vector<BudgetRow> rows = family_budget(family, in);
      double members = 0, gross = 0;
      for (const FamilyMember& m : family.members) {
        const BudgetRow net = species_budget(m.species, in).back();
        members += m.weight * (net.production - net.loss);
        gross += m.weight * (net.production + net.loss);
      }
      const BudgetRow& net = rows.back();
      ASSERT_EQ(net.name, "net");
      EXPECT_NEAR(net.production - net.loss, members, 1e-12 * gross)
          << family.name << " at " << in.start_h << " h";
      if (family.name != "Ox") continue;
      for (const BudgetRow& r : rows) {
        for (const char* internal : {"R1", "R2", "R3", "R27", "R29", "R30", "R38", "R51"})
          EXPECT_NE(r.name, internal);
        if (r.name == "R31") {
          EXPECT_EQ(r.production, 0.0);
          EXPECT_GT(r.loss, 0.0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace box::budget
