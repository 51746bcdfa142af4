#pragma once
// A daytime parcel for the chemistry-step tests, stepped as the driver
// steps it.
#include <array>
#include <cmath>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "chemistry/photolysis.hpp"
#include "common/one_based.hpp"

namespace box::testing {

// A daytime parcel: a polluted morning with bromine, photolysis at a
// zenith angle of 40 degrees, and one radical carried in a radical slot.
struct Parcel {
  ConcentrationVector vc{};
  RadicalSlots radicals;
  PhotolysisRates ph{};
  double dt = 300.0, p = 98000.0, t = 295.0, rho = 1.16, moist = 0.012;

  Parcel() {
    vc[at(lo3)] = 40e-9;
    vc[at(lno)] = 2e-9;
    vc[at(lno2)] = 8e-9;
    vc[at(lco)] = 150e-9;
    vc[at(lch4)] = 1.8e-6;
    vc[at(lhcho)] = 2e-9;
    vc[at(liso)] = 1e-9;
    vc[at(lbr2)] = 1e-11;
    vc[at(lhobr)] = 1e-11;
    vc[at(lbro)] = 2e-13;
    vc[at(lh2o2)] = 1e-9;
    vc[at(lpan)] = 5e-10;
    radicals.mo2 = 1e-12;
    ph = table_photolysis(std::cos(40.0 * 3.141592653589793 / 180.0));
  }

  void step(ChemistryStep& chemistry) {
    chemistry.racm_interface(vc.data(), dt, t, rho, moist, radicals, ph);
  }

  // The same step, reporting its rate integrals and clipping.
  void step(ChemistryStep& chemistry, StepBudget& budget) {
    chemistry.racm_interface_budget(vc.data(), dt, t, rho, moist, radicals, ph, budget);
  }
};

}  // namespace box::testing
