// Rate integrals of the chemistry step: species untouched by asking for
// them, closure of every species' change (clipping included), and
// agreement with the mechanism integrated together with its rate integrals
// as ordinary unknowns at a far tighter tolerance.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/mechanism_system.hpp"
#include "chemistry/species_map.hpp"
#include "common/one_based.hpp"
#include "mechanism/reaction_rates.hpp"
#include "mechanism/structure.hpp"
#include "tests/chemistry/parcel.hpp"
#include "tests/mechanism/daytime_state.hpp"

namespace box {
namespace {

using testing::Parcel;
using Species = std::array<double, nvar>;

// The parcel's 78 species in mechanism order, ppb.
Species ppb_of(const Parcel& p) {
  Species x{};
  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const SpeciesSource& s = species_map[k];
    x[k] = (s.vc_slot != 0 ? p.vc[at(s.vc_slot)] : p.radicals.*(s.radical)) * 1e9;
  }
  return x;
}

// Per species, the sum over reactions of net coefficient times integral,
// and the gross turnover (sum of the magnitudes).
struct Change {
  Species net{}, gross{};
};
template <class Integrals>
Change reaction_change(const Integrals& integral) {
  Change c;
  for (int n = 1; n <= nreact; ++n) {
    const mech::NetCoefficients& nc = mech::net[at(n)];
    for (int t = 0; t < nc.count; ++t) {
      const mech::NetTerm& term = nc.term[static_cast<std::size_t>(t)];
      const double v = term.coef * integral[at(n)];
      c.net[at(term.species)] += v;
      c.gross[at(term.species)] += std::abs(v);
    }
  }
  return c;
}

// One budget step of the parcel: the species before and after (ppb) and
// what the reactions say of the change.
struct BudgetStep {
  Species before, after;
  Change reactions;
};
BudgetStep budget_step(Parcel& parcel, ChemistryStep& chemistry, StepBudget& budget) {
  BudgetStep b;
  b.before = ppb_of(parcel);
  parcel.step(chemistry, budget);
  b.after = ppb_of(parcel);
  b.reactions = reaction_change(budget.reaction);
  return b;
}

TEST(StepBudget, SpeciesAreBitIdenticalWithAndWithoutIntegrals) {
  // Twelve steps of a daytime parcel, each way, with the run's settings
  // and with a tight RODAS-4.
  for (const StepSettings& settings : {StepSettings{}, StepSettings{5, 1e-3, 1e-7}}) {
    Parcel plain, with;
    ChemistryStep a({}, settings), b({}, settings);
    StepBudget budget;
    for (int k = 0; k < 12; ++k) {
      plain.step(a);
      with.step(b, budget);
      ASSERT_EQ(std::memcmp(plain.vc.data(), with.vc.data(), sizeof plain.vc), 0) << k;
      ASSERT_EQ(std::memcmp(&plain.radicals, &with.radicals, sizeof plain.radicals), 0) << k;
    }
    EXPECT_EQ(a.statistics().nstp, b.statistics().nstp);
    EXPECT_EQ(a.statistics().nfun, b.statistics().nfun);
  }
}

TEST(StepBudget, EverySpeciesChangeIsItsReactionsPlusClipping) {
  // An hour of 300 s steps; a negative input on the first step is clipped
  // and reported as such. For every species and step:
  //   x(end) - x(start) = sum_n net * I_n + clipping
  // to rounding of the turnover and of the mole fractions themselves
  // (a few units of the last place of x per step).
  Parcel parcel;
  parcel.vc[at(lhono)] = -3e-11;  // -0.03 ppb, clipped on the way in
  ChemistryStep chemistry;
  StepBudget budget;
  constexpr double eps = 2.220446049250313e-16;
  for (int k = 0; k < 12; ++k) {
    const auto [before, after, c] = budget_step(parcel, chemistry, budget);
    for (int s = 0; s < nvar; ++s) {
      const std::size_t i = static_cast<std::size_t>(s);
      const double delta = after[i] - before[i];
      const double residual = delta - c.net[i] - budget.clipping[i];
      const double scale = c.gross[i] + std::abs(delta) + std::abs(budget.clipping[i]);
      EXPECT_LE(std::abs(residual),
                1e-9 * scale + 1e-12 + 8 * eps * (std::abs(before[i]) + std::abs(after[i])))
          << mech::species_names[i] << " step " << k << ": change " << delta << ", reactions "
          << c.net[i] << ", clipping " << budget.clipping[i];
    }
    if (k == 0) {
      EXPECT_EQ(budget.clipping[at(ind_hono)], 0.03);
    } else {
      EXPECT_EQ(budget.clipping[at(ind_hono)], 0.0);
    }
  }
  // Some reactions ran: NO2 photolysis moves ppb of NO2 per step.
  EXPECT_GT(budget.reaction[at(1)], 0.1);
}

TEST(StepBudget, NegativeResultsAreClippedAndReported) {
  // Steps that end below zero for some species: each such species ends on
  // zero and the clipping brings its budget back to that. ROS-3 at 10 %
  // relative and 1e8 molecules cm-3 absolute tolerance overshoots.
  Parcel parcel;
  ChemistryStep chemistry({}, StepSettings{2, 1e8, 0.1});
  StepBudget budget;
  bool clipped_out = false;
  for (int k = 0; k < 24 && !clipped_out; ++k) {
    const auto [before, after, c] = budget_step(parcel, chemistry, budget);
    for (int s = 0; s < nvar; ++s) {
      const std::size_t i = static_cast<std::size_t>(s);
      EXPECT_GE(budget.clipping[i], 0.0);
      if (budget.clipping[i] > 0.0) {
        clipped_out = true;
        EXPECT_EQ(after[i], 0.0);
        EXPECT_NEAR(after[i] - before[i], c.net[i] + budget.clipping[i],
                    1e-9 * (c.gross[i] + budget.clipping[i]) + 1e-12);
      }
    }
  }
  EXPECT_TRUE(clipped_out) << "no step of this loose integration went negative";
}

// The mechanism with its rate integrals as 249 more unknowns, integrated
// by the plain integrator (so the integrals are under its error control):
//   y' = f(y), z' = r(y).
// Its matrix is stored in three blocks: the mechanism's own LU layout, the
// rate partials (row: reaction, column: species) and the z diagonal. The
// elimination of the z rows needs no fill-in, so the factorisation is the
// mechanism's plus the diagonal.
inline constexpr int variable_partials = [] {
  int n = 0;
  for (const mech::Partial& d : mech::partials) n += mech::is_fixed(d.species) ? 0 : 1;
  return n;
}();

struct AugmentedMechanism {
  static constexpr int n = nvar + nreact;
  static constexpr int nnz = lu_nonzero + variable_partials + nreact;
  static constexpr int z_diag = lu_nonzero + variable_partials;

  MechanismSystem chem;
  std::vector<mech::Partial> partials;  // those of the variable species

  AugmentedMechanism(const double* fix, const double* rconst) : chem{fix, rconst} {
    for (const mech::Partial& d : mech::partials)
      if (!mech::is_fixed(d.species)) partials.push_back(d);
  }
  void fun(double t, const double* y, double* f) const {
    chem.fun(t, y, f);
    chem.process_rates(t, y, f + nvar);
  }
  void jac(double t, const double* y, double* j) const {
    chem.jac(t, y, j);
    for (std::size_t k = 0; k < partials.size(); ++k) {
      const mech::Partial& d = partials[k];
      double b = (d.twice ? 2.0 : 1.0) * chem.rconst[at(d.reaction)];
      for (int m = 0; m < d.n_rest; ++m) {
        const int s = d.rest[static_cast<std::size_t>(m)];
        b *= mech::is_fixed(s) ? chem.fix[at(s - nvar)] : y[at(s)];
      }
      j[lu_nonzero + k] = b;
    }
    for (int k = 0; k < nreact; ++k) j[z_diag + k] = 0.0;
  }
  static std::size_t diag(int i) {
    return i < nvar ? MechanismSystem::diag(i) : static_cast<std::size_t>(z_diag + i - nvar);
  }
  static int decomp(double* a) {
    const int ier = MechanismSystem::decomp(a);
    if (ier != 0) return ier;
    for (int k = 0; k < nreact; ++k)
      if (!(std::abs(a[z_diag + k]) >= 1e-300)) return nvar + k + 1;
    return 0;
  }
  void solve(const double* lu, double* x) const {
    MechanismSystem::solve(lu, x);
    for (std::size_t k = 0; k < partials.size(); ++k)
      x[nvar + at(partials[k].reaction)] -= lu[lu_nonzero + k] * x[at(partials[k].species)];
    for (int k = 0; k < nreact; ++k) x[nvar + k] /= lu[z_diag + k];
  }
};

TEST(StepBudget, IntegralsMatchATightIntegrationOfTheAugmentedSystem) {
  // Three 300 s steps from the polluted daytime state: the integrals
  // carried by RODAS-4 at rtol 1e-8 against the augmented system at rtol
  // 1e-10, for every reaction above 1e-6 of the largest integral.
  const test::Fixed fix = test::daytime_fixed();
  const test::Rates rates = test::daytime_rates();
  const MechanismSystem sys{fix.data(), rates.data()};
  const AugmentedMechanism aug(fix.data(), rates.data());
  static_assert(RosenbrockSystem<AugmentedMechanism>);

  IntControls icntrl{};
  icntrl[at(1)] = 1;
  icntrl[at(3)] = 5;
  RealControls rcntrl{};

  std::array<double, nvar> y = test::daytime_state();
  std::array<double, AugmentedMechanism::n> ya{};
  std::copy(y.begin(), y.end(), ya.begin());
  std::array<double, nvar> atol{}, rtol{};
  atol.fill(1e-6);
  rtol.fill(1e-8);
  std::array<double, AugmentedMechanism::n> atol_a{}, rtol_a{};
  atol_a.fill(1e-6);
  rtol_a.fill(1e-10);

  Rosenbrock<MechanismSystem> ros;
  Rosenbrock<AugmentedMechanism> reference;
  ProcessIntegrals z;
  int ierr = 0, ierr_a = 0;
  double steps = 0;  // accepted steps
  for (int k = 0; k < 3; ++k) {
    const double t0 = 300.0 * k, t1 = t0 + 300.0;
    ros.integrate(sys, t0, t1, y.data(), atol.data(), rtol.data(), &icntrl, &rcntrl,
                  nullptr, nullptr, &ierr, &z);
    reference.integrate(aug, t0, t1, ya.data(), atol_a.data(), rtol_a.data(), &icntrl,
                        &rcntrl, nullptr, nullptr, &ierr_a);
    ASSERT_EQ(ierr, 1);
    ASSERT_EQ(ierr_a, 1);
    steps += ros.counters().nacc;
  }
  double largest = 0;
  for (int n = 0; n < nreact; ++n) largest = std::max(largest, std::abs(ya[nvar + static_cast<std::size_t>(n)]));
  int compared = 0;
  double worst = 0;
  for (int n = 0; n < nreact; ++n) {
    const double ref = ya[nvar + static_cast<std::size_t>(n)];
    if (std::abs(ref) <= 1e-6 * largest) continue;
    ++compared;
    const double rel = std::abs(z.values()[static_cast<std::size_t>(n)] / ref - 1);
    worst = std::max(worst, rel);
    EXPECT_LE(rel, 1e-5) << "reaction " << n + 1;
  }
  std::printf("%d reactions compared, largest relative difference %.3e\n", compared, worst);
  EXPECT_GT(compared, 150);

  // And the species change is the net coefficients times the integrals,
  // in molecules cm-3, to rounding of the turnover.
  const Change c = reaction_change(z.values());
  const std::array<double, nvar> y0 = test::daytime_state();
  for (int s = 0; s < nvar; ++s) {
    const std::size_t i = static_cast<std::size_t>(s);
    const double delta = y[i] - y0[i];
    // Plus the rounding of y itself at each accepted step: CO2 (1e16
    // molecules cm-3, 2 in its last place) changes by a few 1e10 here.
    const double rounding = steps * 2.220446049250313e-16 * std::max(y[i], y0[i]);
    EXPECT_NEAR(delta, c.net[i], 1e-9 * (c.gross[i] + std::abs(delta)) + 1e-12 * 2.5e10 + rounding)
        << mech::species_names[i];
  }
}

}  // namespace
}  // namespace box
