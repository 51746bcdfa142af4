// The open box at the chemistry step: emission, deposition and dilution
// against their analytic solutions in a parcel where nothing reacts, held
// species in a parcel where everything does, and the closed box unchanged.
#include <gtest/gtest.h>

#include <cmath>
#include <array>
#include <cstring>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "chemistry/open_box.hpp"
#include "chemistry/unit_conversion.hpp"
#include "common/one_based.hpp"
#include "mechanism/mechanism.hpp"
#include "tests/chemistry/parcel.hpp"

namespace box {
namespace {

using testing::Parcel;

// A tight RODAS-4 integration, for comparison with analytic solutions.
constexpr StepSettings tight{5, 1.0, 1e-8};

// A parcel in the dark holding only species that cannot react with one
// another (no radical, no photolysis): whatever changes is exchange.
Parcel quiet_parcel() {
  Parcel p;
  p.vc.fill(0.0);
  p.radicals = RadicalSlots{};
  p.ph.fill(0.0);
  return p;
}

// Number density of a driver slot, molecules cm-3.
double density(const Parcel& p, const ChemistryStep& chemistry, int slot) {
  return p.vc[at(slot)] * chemistry.conv();
}

void expect_relative(double actual, double expected, double tolerance, const char* what) {
  EXPECT_NEAR(actual, expected, tolerance * std::abs(expected)) << what;
}

TEST(OpenBox, EmissionBuildsUpLinearlyOverTheMixingHeight) {
  // 1e12 molecules cm-2 s-1 of CO2 into 1000 m (1e5 cm), twelve 300 s steps.
  ChemistryStep chemistry({}, tight);
  OpenBox box;
  const double flux = 1e12, height_cm = 1e5;
  box.emission[at(ind_co2)] = flux / height_cm;
  chemistry.set_open_box(box);
  Parcel p = quiet_parcel();
  for (int n = 1; n <= 12; ++n) {
    p.step(chemistry);
    expect_relative(density(p, chemistry, lco2), flux * (300.0 * n) / height_cm, 1e-6, "CO2");
  }
  // The profile factor scales the emission: half the flux for an hour more.
  chemistry.set_emission_factor(0.5);
  for (int n = 1; n <= 12; ++n) p.step(chemistry);
  expect_relative(density(p, chemistry, lco2), flux * 5400.0 / height_cm, 1e-6, "CO2, half");
  EXPECT_EQ(p.vc[at(lco)], 0.0);  // nothing else appears
}

TEST(OpenBox, DepositionDecaysExponentially) {
  // Ozone alone in the dark has nothing to react with: 0.4 cm s-1 over
  // 100 m, so exp(-4e-5 t).
  ChemistryStep chemistry({}, tight);
  OpenBox box;
  box.deposition[at(ind_o3)] = 0.4 / 1e4;
  chemistry.set_open_box(box);
  Parcel p = quiet_parcel();
  p.vc[at(lo3)] = 40e-9;
  double c0 = 0.0;
  for (int n = 1; n <= 24; ++n) {
    if (n == 1) c0 = p.vc[at(lo3)];
    p.step(chemistry);
    expect_relative(p.vc[at(lo3)], c0 * std::exp(-4e-5 * 300.0 * n), 1e-6, "O3");
  }
}

TEST(OpenBox, DilutionRelaxesTowardTheBackground) {
  // O3 and CO do not react with each other; both relax at 1e-4 s-1, from
  // below and from above their backgrounds, and a species with no
  // background (HCHO, which in the dark reacts with nothing present) is
  // diluted away.
  ChemistryStep chemistry({}, tight);
  OpenBox box;
  box.dilution = 1e-4;
  box.background[at(ind_o3)] = 40e-9;
  box.background[at(ind_co)] = 100e-9;
  chemistry.set_open_box(box);
  Parcel p = quiet_parcel();
  p.vc[at(lo3)] = 10e-9;
  p.vc[at(lco)] = 300e-9;
  p.vc[at(lhcho)] = 2e-9;
  for (int n = 1; n <= 24; ++n) {
    p.step(chemistry);
    const double decay = std::exp(-1e-4 * 300.0 * n);
    expect_relative(p.vc[at(lo3)], 40e-9 + (10e-9 - 40e-9) * decay, 1e-6, "O3");
    expect_relative(p.vc[at(lco)], 100e-9 + (300e-9 - 100e-9) * decay, 1e-6, "CO");
    expect_relative(p.vc[at(lhcho)], 2e-9 * decay, 1e-6, "HCHO");
  }
}

TEST(OpenBox, EmissionDepositionAndDilutionTogetherReachTheirSteadyState) {
  // dc/dt = E/H + k c_bg - (v/H + k) c: relaxation toward
  // c_inf = (E/H + k c_bg) / (v/H + k) at rate v/H + k.
  ChemistryStep chemistry({}, tight);
  OpenBox box;
  const double e = 2e6, v = 2e-5, k = 3e-5, bg = 400e-6;
  box.emission[at(ind_co2)] = e;
  box.deposition[at(ind_co2)] = v;
  box.dilution = k;
  box.background[at(ind_co2)] = bg;
  chemistry.set_open_box(box);
  Parcel p = quiet_parcel();
  p.vc[at(lco2)] = 380e-6;
  p.step(chemistry);  // the first step fixes conv
  const double conv = chemistry.conv();
  const double loss = v + k;
  const double c_inf = (e + k * bg * conv) / loss;
  const double c0 = 380e-6 * conv;
  for (int n = 2; n <= 36; ++n) {
    p.step(chemistry);
    expect_relative(density(p, chemistry, lco2), c_inf + (c0 - c_inf) * std::exp(-loss * 300.0 * n),
                    1e-6, "CO2");
  }
}

TEST(OpenBox, HeldSpeciesKeepTheirValueWhileOthersReactWithThem) {
  ChemistryStep held_step, free_step;
  OpenBox box;
  box.held[at(ind_o3)] = true;
  box.held[at(ind_o3p)] = true;  // one the driver keeps in a radical slot
  held_step.set_open_box(box);
  Parcel held, free;
  held.radicals.o3p = free.radicals.o3p = 1e-15;
  for (int n = 0; n < 6; ++n) {
    // The driver sets the observation before each step.
    const double o3 = (40.0 + n) * 1e-9;
    held.vc[at(lo3)] = o3;
    held.step(held_step);
    EXPECT_EQ(std::memcmp(&held.vc[at(lo3)], &o3, sizeof o3), 0) << "step " << n;
    EXPECT_EQ(held.radicals.o3p, 1e-15) << "step " << n;
    free.step(free_step);
  }
  // The held species still reacted: the others moved, and differently
  // from the free parcel's.
  for (int slot : {lno, lno2, lho, lho2, lhno3})
    EXPECT_NE(held.vc[at(slot)], free.vc[at(slot)]) << "slot " << slot;
  EXPECT_GT(held.vc[at(lho)], 0.0);
  EXPECT_EQ(held_step.statistics().steps, 6);
}

TEST(OpenBox, HeldRowsDoNotMoveInTheIntegration) {
  // The integration itself keeps a held species: its stages are exactly
  // zero, with no help from the step's writing back of the driver's value.
  ChemistryStep chemistry;
  Parcel parcel;
  parcel.step(chemistry);  // the step's rate coefficients and fixed species
  OpenBox box;
  box.held[at(ind_o3)] = true;
  box.held[at(ind_no2)] = true;
  box.held[at(ind_hcho)] = true;
  box.dilution = 1e-4;
  box.background[at(ind_o3)] = 80e-9;
  const OpenBoxPlan plan = plan_open_box(box);
  std::array<double, nvar> source{};
  const OpenBoxSystem system{{chemistry.fix().data(), chemistry.rconst().data()}, &plan,
                             source.data()};
  std::array<double, nvar> var{};
  for (int s = 1; s <= nvar; ++s) var[at(s)] = 1e6 * s;
  var[at(ind_o3)] = 1e12;
  var[at(ind_no2)] = 2e11;
  var[at(ind_hcho)] = 5e10;
  const std::array<double, nvar> start = var;
  Rosenbrock<OpenBoxSystem> integrator;
  std::array<double, nvar> atol, rtol;
  atol.fill(1.0);
  rtol.fill(1e-3);
  int ierr = 0;
  integrator.integrate(system, 0.0, 3600.0, var.data(), atol.data(), rtol.data(), nullptr,
                       nullptr, nullptr, nullptr, &ierr);
  ASSERT_EQ(ierr, 1);
  for (int s : {ind_o3, ind_no2, ind_hcho})
    EXPECT_EQ(std::memcmp(&var[at(s)], &start[at(s)], sizeof(double)), 0) << species_name(s);
  EXPECT_NE(var[at(ind_no)], start[at(ind_no)]);
}

TEST(OpenBox, HeldSpeciesIsHeldToTheIntegratorsPrecision) {
  // Holding a species is the limit of an infinitely fast relaxation to
  // its value: a strong dilution toward a background equal to the start
  // value gives nearly the same other species.
  ChemistryStep held_step({}, tight), relaxed_step({}, tight);
  OpenBox held_box, relaxed_box;
  held_box.held[at(ind_o3)] = true;
  held_step.set_open_box(held_box);
  // A 1 ms relaxation of O3 toward 40 ppb: a loss L and a source L c.
  const double conv = Parcel{}.rho * unit_conversion::dens2con_a;
  relaxed_box.deposition[at(ind_o3)] = 1e3;
  relaxed_box.emission[at(ind_o3)] = 1e3 * (40e-9 * conv);
  relaxed_step.set_open_box(relaxed_box);
  Parcel held, relaxed;
  held.step(held_step);
  relaxed.step(relaxed_step);
  // Ozone's chemical tendency here (NO titration, ~1e9 molecules cm-3 s-1
  // against 1e12 molecules cm-3 of it) moves it by ~1e-6 of its value.
  EXPECT_NEAR(relaxed.vc[at(lo3)], 40e-9, 40e-9 * 1e-5);
  for (int slot : {lno, lno2, lho, lho2, lhcho, lhno3})
    EXPECT_NEAR(held.vc[at(slot)], relaxed.vc[at(slot)], 1e-4 * relaxed.vc[at(slot)])
        << "slot " << slot;
}

TEST(OpenBox, ClosedBoxIsTheMechanismAloneBitForBit) {
  ChemistryStep plain, closed, reopened;
  closed.set_open_box(OpenBox{});
  OpenBox box;
  box.dilution = 1e-5;
  reopened.set_open_box(box);
  EXPECT_NE(reopened.open_box(), nullptr);
  reopened.set_open_box(OpenBox{});
  EXPECT_EQ(closed.open_box(), nullptr);
  EXPECT_EQ(reopened.open_box(), nullptr);
  Parcel a, b, c;
  for (int n = 0; n < 4; ++n) {
    a.step(plain);
    b.step(closed);
    c.step(reopened);
  }
  EXPECT_EQ(std::memcmp(a.vc.data(), b.vc.data(), sizeof a.vc), 0);
  EXPECT_EQ(std::memcmp(a.vc.data(), c.vc.data(), sizeof a.vc), 0);
  EXPECT_EQ(std::memcmp(&a.radicals, &c.radicals, sizeof a.radicals), 0);
  EXPECT_EQ(plain.statistics().nfun, reopened.statistics().nfun);
}

TEST(OpenBox, SpeciesNamesAndDriverPlaces) {
  EXPECT_EQ(species_index("O3"), ind_o3);
  EXPECT_EQ(species_index("no2"), ind_no2);
  EXPECT_EQ(species_index("H2O"), ind_h2o);
  EXPECT_EQ(species_index("O4"), 0);
  EXPECT_EQ(species_index(""), 0);
  EXPECT_EQ(species_name(ind_hcho), "HCHO");
  EXPECT_EQ(driver_slot(ind_co), lco);
  EXPECT_EQ(driver_slot(ind_mo2), 0);  // a radical slot
  Parcel p;
  EXPECT_EQ(&driver_value(ind_mo2, p.vc.data(), p.radicals), &p.radicals.mo2);
  EXPECT_EQ(&driver_value(ind_ch4, p.vc.data(), p.radicals), &p.vc[at(lch4)]);
}

TEST(OpenBox, PlanListsTheHeldRowsAndTheExchangedSpecies) {
  OpenBox box;
  box.held[at(ind_no2)] = true;
  box.deposition[at(ind_o3)] = 1e-5;
  box.emission[at(ind_no)] = 1e5;
  box.deposition[at(ind_no2)] = 1e-5;  // held: no exchange
  const OpenBoxPlan plan = plan_open_box(box);
  EXPECT_EQ(plan.held, std::vector<int>{ind_no2 - 1});
  EXPECT_EQ(plan.exchanged, (std::vector<int>{ind_o3 - 1, ind_no - 1}));
  // NO2 is the last row: its entries run to the end of the storage.
  ASSERT_FALSE(plan.held_entries.empty());
  EXPECT_EQ(plan.held_entries.back(), lu_nonzero - 1);
  for (int e : plan.held_entries) EXPECT_EQ(lu_irow[static_cast<std::size_t>(e)], ind_no2);
}

}  // namespace
}  // namespace box
