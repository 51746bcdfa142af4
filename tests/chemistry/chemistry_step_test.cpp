// The chemistry step as the driver sees it: unit conversion, the mapping
// between the driver's slots and the mechanism, clipping, and what the step
// must leave alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <variant>
#include <vector>
#include <thread>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "chemistry/photolysis.hpp"
#include "chemistry/species_map.hpp"
#include "chemistry/mechanism_system.hpp"
#include "common/one_based.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_table.hpp"
#include "tests/chemistry/parcel.hpp"

namespace box {
namespace {

using testing::Parcel;

bool same_bits(const ConcentrationVector& a, const ConcentrationVector& b) {
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) return false;
  return true;
}

bool same_radicals(const RadicalSlots& a, const RadicalSlots& b) {
  return std::memcmp(&a, &b, sizeof(RadicalSlots)) == 0;
}

TEST(ChemistryStep, AirAndWaterVapourNumberDensities) {
  ChemistryStep chemistry;
  Parcel parcel;
  parcel.rho = 1.2;
  parcel.moist = 0.01;
  parcel.step(chemistry);
  EXPECT_NEAR(chemistry.conv(), 2.494443E19, 1e-6 * 2.494443E19);
  EXPECT_EQ(chemistry.fix()[at(indf_m)], chemistry.conv());
  EXPECT_NEAR(chemistry.fix()[at(indf_h2o)], 4.011279E17, 1e-6 * 4.011279E17);
  // 40 ppb of ozone is about 1e12 molecules cm-3 at this density.
  EXPECT_NEAR(40e-9 * chemistry.conv(), 9.977770E11, 1e-6 * 9.977770E11);
}

TEST(ChemistryStep, ChemistryHappensAndEveryResultIsANonNegativeMoleFraction) {
  ChemistryStep chemistry;
  Parcel parcel;
  const Parcel before;
  parcel.step(chemistry);
  EXPECT_NE(parcel.vc[at(lo3)], before.vc[at(lo3)]);
  EXPECT_GT(parcel.vc[at(lho)], 0.0);  // OH made by photolysis within the step
  EXPECT_LT(parcel.vc[at(lbr2)], before.vc[at(lbr2)]);  // Br2 photolysed
  for (double x : parcel.vc) EXPECT_TRUE(x >= 0.0 && std::isfinite(x));
  EXPECT_GT(chemistry.statistics().nacc, 0);
}

TEST(ChemistryStep, SlotsOutsideTheMechanismAreLeftAlone) {
  ChemistryStep chemistry;
  Parcel parcel;
  // Slots the step must never read or write, given recognisable values.
  for (int slot : {laddc, laddt, laddx, lapip, lcslp, letep, lethp, lh2, lh2o, lhc3p, lhc5p,
                   lhc8p, lisop, lketp, llimp, lmo2, ln2, lo1d, lo2, lo3p, lolip, lolnd, lolnn,
                   loltp, lpho, ltco3, ltolp, lxo2, lxylp})
    parcel.vc[at(slot)] = -1.0 - slot;  // negative: would be clipped if touched
  parcel.radicals.xno2 = -7.0;
  parcel.radicals.ol2p = std::numeric_limits<double>::quiet_NaN();
  parcel.radicals.oln = 3.0;
  parcel.radicals.macp = -0.5;
  const Parcel before = parcel;
  parcel.step(chemistry);
  for (int slot : {laddc, laddt, laddx, lapip, lcslp, letep, lethp, lh2, lh2o, lhc3p, lhc5p,
                   lhc8p, lisop, lketp, llimp, lmo2, ln2, lo1d, lo2, lo3p, lolip, lolnd, lolnn,
                   loltp, lpho, ltco3, ltolp, lxo2, lxylp})
    EXPECT_EQ(parcel.vc[at(slot)], before.vc[at(slot)]) << "slot " << slot;
  EXPECT_EQ(parcel.radicals.xno2, -7.0);
  EXPECT_TRUE(std::isnan(parcel.radicals.ol2p));
  EXPECT_EQ(parcel.radicals.oln, 3.0);
  EXPECT_EQ(parcel.radicals.macp, -0.5);
}

TEST(ChemistryStep, NegativeAndNotANumberSourcesEnterAsZero) {
  Parcel clean;
  clean.vc[at(lno3)] = 0.0;
  clean.radicals.ketp = 0.0;
  Parcel dirty = clean;
  dirty.vc[at(lno3)] = -3e-9;
  dirty.radicals.ketp = std::numeric_limits<double>::quiet_NaN();
  ChemistryStep a, b;
  clean.step(a);
  dirty.step(b);
  EXPECT_TRUE(same_bits(clean.vc, dirty.vc));
  EXPECT_TRUE(same_radicals(clean.radicals, dirty.radicals));
}

TEST(ChemistryStep, InputsThatMustNotMatter) {
  const Parcel reference_parcel;
  Parcel reference = reference_parcel;
  ChemistryStep chemistry;
  reference.step(chemistry);

  // Pressure: the air density comes from rho alone.
  Parcel other_pressure = reference_parcel;
  other_pressure.p = 50000.0;
  other_pressure.step(chemistry);
  EXPECT_TRUE(same_bits(reference.vc, other_pressure.vc));

  // Photolysis slots that drive no reaction.
  Parcel unused_slots = reference_parcel;
  for (int k = 26; k <= njv; ++k) unused_slots.ph[at(k)] = 1.0;
  unused_slots.step(chemistry);
  EXPECT_TRUE(same_bits(reference.vc, unused_slots.vc));
  EXPECT_TRUE(same_radicals(reference.radicals, unused_slots.radicals));
}

TEST(ChemistryStep, RemembersNothingFromOneCallToTheNext) {
  const Parcel start;
  Parcel first = start, second = start, other = start;
  ChemistryStep chemistry;
  first.step(chemistry);
  other.t = 310.0;  // a different call in between
  other.moist = 0.0;
  other.step(chemistry);
  second.step(chemistry);
  EXPECT_TRUE(same_bits(first.vc, second.vc));
  EXPECT_TRUE(same_radicals(first.radicals, second.radicals));
  // Separate objects agree with each other too.
  Parcel third = start;
  ChemistryStep fresh;
  third.step(fresh);
  EXPECT_TRUE(same_bits(first.vc, third.vc));
}

// Steps in the same air reuse the thermal coefficients of the first; what
// each step integrates with must still be a fresh evaluation for its own
// light, air and rate factors, bit for bit: the factors applied once (not
// again to the coefficients kept from before), the new light taken, and a
// change of temperature or of density alone noticed.
TEST(ChemistryStep, CoefficientsOfTheSameAirAreEachStepsOwn) {
  Parcel parcel;
  ChemistryStep chemistry({}, StepSettings{2, 1.0, 1e-3, {{27, 0.5}, {2, 3.0}}});
  const auto expect_fresh = [&](const char* what) {
    std::array<double, nreact> k{};
    racm_update_rconst(parcel.ph.data(), k.data(), chemistry.fix()[at(indf_m)], parcel.t);
    k[at(27)] = k[at(27)] * 0.5;
    k[at(2)] = k[at(2)] * 3.0;
    for (int n = 1; n <= nreact; ++n)
      EXPECT_EQ(std::memcmp(&k[at(n)], &chemistry.rconst()[at(n)], sizeof(double)), 0)
          << what << ": reaction " << n << ": " << chemistry.rconst()[at(n)] << " vs " << k[at(n)];
  };
  parcel.step(chemistry);
  expect_fresh("first step");
  for (double& j : parcel.ph) j = j * 0.75;  // the sun lower, the air the same
  parcel.step(chemistry);
  expect_fresh("same air, less light");
  parcel.t = std::nextafter(parcel.t, 400.0);
  parcel.step(chemistry);
  expect_fresh("one ulp warmer");
  parcel.rho = parcel.rho * 0.9;
  parcel.step(chemistry);
  expect_fresh("thinner air");
}

// The integrator's lines reach the step's sink, and when the integrator
// gives up the step still writes back what it left in var (here: the
// untouched input, since a method it does not know stops it at once).
TEST(ChemistryStep, IntegratorFailureIsReportedAndTheStateWrittenBack) {
  std::vector<std::string> lines;
  LineSink sink = [&](std::span<const LineItem> items) {
    std::string line;
    for (const LineItem& item : items) {
      if (const auto* text = std::get_if<std::string_view>(&item)) line += *text;
      else if (const auto* i = std::get_if<std::int32_t>(&item)) line += "<" + std::to_string(*i) + ">";
      else line += "<" + std::to_string(std::get<double>(item)) + ">";
    }
    lines.push_back(line);
  };
  ChemistryStep chemistry(sink, StepSettings{7, 1.0, 1e-3});
  Parcel parcel;
  const Parcel before = parcel;
  parcel.step(chemistry);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "User-selected Rosenbrock method: ICNTRL(3)=<7>");
  EXPECT_EQ(lines[1], "Forced exit from Rosenbrock due to the following error:");
  EXPECT_EQ(lines[2].substr(0, 42), "Selected Rosenbrock method not implemented");
  EXPECT_EQ(lines[3], "T=<0.000000>and H=<0.000000>");
  // Back through the same conversion: equal to rounding.
  for (int slot : {lo3, lno, lno2, lbr2, lhobr})
    EXPECT_NEAR(parcel.vc[at(slot)], before.vc[at(slot)], 1e-15 * before.vc[at(slot)]);
  EXPECT_NEAR(parcel.radicals.mo2, before.radicals.mo2, 1e-15 * before.radicals.mo2);
}

// Each parcel owns its step object; two parcels stepped at once on two
// threads give exactly what they give one after the other.
TEST(ChemistryStep, ParcelsOnTwoThreadsMatchSerialResults) {
  Parcel warm, cool;
  cool.t = 280.0;
  cool.rho = 1.25;
  Parcel warm_serial = warm, cool_serial = cool;
  ChemistryStep a;
  for (int i = 0; i < 4; ++i) {
    warm_serial.step(a);
    cool_serial.step(a);
  }
  std::thread first([&] {
    ChemistryStep own;
    for (int i = 0; i < 4; ++i) warm.step(own);
  });
  std::thread second([&] {
    ChemistryStep own;
    for (int i = 0; i < 4; ++i) cool.step(own);
  });
  first.join();
  second.join();
  EXPECT_TRUE(same_bits(warm.vc, warm_serial.vc));
  EXPECT_TRUE(same_bits(cool.vc, cool_serial.vc));
  EXPECT_TRUE(same_radicals(cool.radicals, cool_serial.radicals));
}

TEST(ChemistryStep, DryAirStopsTheWaterReactions) {
  ChemistryStep chemistry;
  Parcel parcel;
  parcel.moist = 0.0;
  parcel.step(chemistry);
  EXPECT_EQ(chemistry.fix()[at(indf_h2o)], 0.0);
  // O(1D) + H2O makes no OH; OH still comes from HONO, H2O2 and HO2 + NO.
  for (double x : parcel.vc) EXPECT_TRUE(x >= 0.0 && std::isfinite(x));
}

// Mole fractions of bromine and reactive nitrogen summed over their
// species, the radicals carried by the driver included.
double total_bromine(const Parcel& p) {
  return p.vc[at(lbr)] + p.vc[at(lbro)] + p.vc[at(lhobr)] + p.vc[at(lhbr)] + 2 * p.vc[at(lbr2)];
}
double total_nitrogen(const Parcel& p) {
  return p.vc[at(lno)] + p.vc[at(lno2)] + p.vc[at(lno3)] + 2 * p.vc[at(ln2o5)] +
         p.vc[at(lhono)] + p.vc[at(lhno3)] + p.vc[at(lhno4)] + p.vc[at(lpan)] +
         p.vc[at(ltpan)] + p.vc[at(lonit)] + p.radicals.olnn + p.radicals.olnd;
}

TEST(ChemistryStep, OneStepConservesBromineAndReactiveNitrogen) {
  ChemistryStep chemistry;
  Parcel parcel;
  const double br0 = total_bromine(parcel), n0 = total_nitrogen(parcel);
  parcel.step(chemistry);
  // Each species is integrated to 0.1 % of itself plus 1 molecule cm-3;
  // the totals drift far less than that.
  EXPECT_NEAR(total_bromine(parcel), br0, 1e-4 * br0);
  EXPECT_NEAR(total_nitrogen(parcel), n0, 1e-4 * n0);
}

TEST(ChemistryStep, SettingsSelectTheIntegration) {
  Parcel ros3 = Parcel(), rodas4 = Parcel();
  ChemistryStep run_settings;
  ChemistryStep reference({}, StepSettings{5, 1.0, 1e-8});
  ros3.step(run_settings);
  rodas4.step(reference);
  EXPECT_GT(reference.statistics().nacc, run_settings.statistics().nacc);
  EXPECT_NEAR(ros3.vc[at(lo3)], rodas4.vc[at(lo3)], 1e-3 * rodas4.vc[at(lo3)]);
  EXPECT_NEAR(ros3.vc[at(lno2)], rodas4.vc[at(lno2)], 1e-2 * rodas4.vc[at(lno2)]);
}

// The driver keeps the 77 species of the base mechanism (its integrated
// species without bromine, and H2, H2O, N2, O2) in alphabetical order, then
// BR, BRO, HOBR, HBR and BR2. Every species the step takes from the
// driver's vector must come from the slot of its own name.
TEST(SpeciesMap, DriverSlotsByName) {
  const std::vector<std::string_view> bromine = {"BR", "BRO", "HOBR", "HBR", "BR2"};
  std::vector<std::string_view> base = {"H2", "H2O", "N2", "O2"};
  for (int s = 1; s <= nvar; ++s)
    if (std::find(bromine.begin(), bromine.end(), mech::species_names[at(s)]) == bromine.end())
      base.push_back(mech::species_names[at(s)]);
  std::sort(base.begin(), base.end());
  ASSERT_EQ(base.size() + bromine.size(), static_cast<std::size_t>(nspec_old));
  for (const SpeciesSource& source : species_map) {
    if (source.vc_slot == 0) continue;
    const std::string_view name = mech::species_names[at(source.ind)];
    const auto in_base = std::find(base.begin(), base.end(), name);
    const auto in_bromine = std::find(bromine.begin(), bromine.end(), name);
    const long slot = in_base != base.end()
                          ? 1 + (in_base - base.begin())
                          : 1 + static_cast<long>(base.size()) + (in_bromine - bromine.begin());
    EXPECT_EQ(source.vc_slot, slot) << name;
  }
}

// The radicals the driver carries in variables of their own, in the order
// of the call (PHO travels as rpho): each species must go to its own.
TEST(SpeciesMap, RadicalVariablesByName) {
  const std::vector<std::string_view> call_order = {
      "ADDT", "ADDX", "ADDC", "ETEP", "OLTP", "OLIP", "CSLP", "LIMP", "HC5P",
      "HC8P", "TOLP", "XYLP", "APIP", "ISOP", "HC3P", "ETHP", "O3P",  "TCO3",
      "MO2",  "O1D",  "OLNN", "OLND", "PHO",  "XO2",  "KETP"};
  int radicals = 0;
  for (const SpeciesSource& source : species_map) {
    if (source.vc_slot != 0) continue;
    ++radicals;
    // Which variable, counted in the call's order, the species goes to.
    RadicalSlots r;
    r.*source.radical = 1.0;
    std::array<double, sizeof(RadicalSlots) / sizeof(double)> in_order;
    std::memcpy(in_order.data(), &r, sizeof r);
    const auto variable = std::find(in_order.begin(), in_order.end(), 1.0) - in_order.begin();
    const std::string_view name = mech::species_names[at(source.ind)];
    EXPECT_EQ(variable, std::find(call_order.begin(), call_order.end(), name) - call_order.begin())
        << name;
  }
  EXPECT_EQ(radicals, 25);
}

// Loose control (half the state as relative tolerance) over an hour of
// night-time titration, 50 ppb NO into 60 ppb O3, drives the integrator
// well below zero: NO ends near -1e-10 mol/mol, a dozen other species and
// radicals below zero too. Nothing negative may come back to the driver.
TEST(ChemistryStep, OvershootBelowZeroIsCutOnTheWayOut) {
  ChemistryStep chemistry({}, StepSettings{2, 1.0, 0.5});
  Parcel parcel;
  parcel.ph = {};
  parcel.vc[at(lno)] = 50e-9;
  parcel.vc[at(lo3)] = 60e-9;
  parcel.dt = 3600.0;
  parcel.step(chemistry);
  EXPECT_EQ(parcel.vc[at(lno)], 0.0);  // the overshoot happened and was cut
  for (int k = 1; k <= nspec_old; ++k)
    EXPECT_TRUE(parcel.vc[at(k)] >= 0.0) << "slot " << k << ": " << parcel.vc[at(k)];
  std::array<double, sizeof(RadicalSlots) / sizeof(double)> radicals;
  std::memcpy(radicals.data(), &parcel.radicals, sizeof radicals);
  for (std::size_t k = 0; k < radicals.size(); ++k)
    EXPECT_TRUE(radicals[k] >= 0.0) << "radical variable " << k + 1 << ": " << radicals[k];
}

// The step is the mechanism integrated with the run's settings (ROS-3,
// autonomous, 1 molecule cm-3 and 0.1 % tolerance for every species, a
// first trial step of 1 % of the interval, here 4.5 s) on number densities
// formed from the molar masses: air 28.97 g/mol, water 2 x 1.0079 + 15.9994
// g/mol. Every result and every integrator counter must agree with
// integrating directly; a different first step, tolerance or method
// changes the step sequence and so the unrounded results.
TEST(ChemistryStep, EqualsADirectIntegrationWithTheRunSettings) {
  Parcel parcel;
  parcel.dt = 450.0;  // not the run's 300 s
  const double avogadro = 6.022e23;
  const double air = parcel.rho * 1e-3 / 28.97 * avogadro;
  const double water = parcel.moist * parcel.rho * 1e-3 / (2 * 1.0079 + 15.9994) * avogadro;
  auto source = [&](const SpeciesSource& s) -> double& {
    return s.vc_slot != 0 ? parcel.vc[at(s.vc_slot)] : parcel.radicals.*(s.radical);
  };
  std::array<double, nvar> var{};
  for (std::size_t k = 0; k < species_map.size(); ++k) var[k] = source(species_map[k]) * air;
  const std::array<double, nfix> fixed = {water, air};
  std::array<double, nreact> rconst{};
  racm_update_rconst(parcel.ph.data(), rconst.data(), air, parcel.t);
  std::array<double, nspec> atol, rtol;
  atol.fill(1.0);
  rtol.fill(1e-3);
  IntControls icntrl{}, istatus{};
  RealControls rcntrl{};
  icntrl[at(1)] = 1;
  icntrl[at(3)] = 2;
  rcntrl[at(3)] = 0.01 * parcel.dt;
  MechanismIntegrator direct;
  direct.integrate(MechanismSystem{fixed.data(), rconst.data()}, 0.0, parcel.dt, var.data(),
                   atol.data(), rtol.data(), &icntrl, &rcntrl, &istatus);

  ChemistryStep chemistry;
  parcel.step(chemistry);
  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const double expected = std::max(var[k] / air, 0.0);
    EXPECT_NEAR(source(species_map[k]), expected, 1e-12 * expected)
        << mech::species_names[k];
  }
  const StepStatistics& s = chemistry.statistics();
  EXPECT_EQ(s.nstp, istatus[at(istp)]);
  EXPECT_EQ(s.nacc, istatus[at(iacc)]);
  EXPECT_EQ(s.nrej, istatus[at(irej)]);
  EXPECT_EQ(s.nfun, istatus[at(ifun)]);
  EXPECT_EQ(s.njac, istatus[at(ijac)]);
  EXPECT_EQ(s.nsol, istatus[at(isol)]);
  EXPECT_GT(s.nrej + s.nacc, 3);
}

}  // namespace
}  // namespace box
