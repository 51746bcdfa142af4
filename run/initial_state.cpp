#include "run/initial_state.hpp"

#include <cmath>

#include "common/one_based.hpp"

namespace box {

SurfaceHumidity surface_humidity() {
  const double z = 0.0;  // the surface level
  // Standard atmosphere pressure and a lapse rate of 8.5 K per km.
  const double p = 101325.0 * std::pow(1.0 - 2.256928771327977e-05 * z, 5.256794406770751);
  const double t = 299.15 - 0.0085 * z;
  // Relative humidity falling from 70 % at the ground to 50 % at 500 m.
  const double relh = z < 500.0 ? 0.7 - 0.2 * 0.002 * z : 0.5;
  // Saturation vapour pressure over water (Magnus form, Pa).
  const double e = 610.7 * relh * std::exp(17.1536 * (t - 273.15) / (t - 38.33));
  return {e, e / p};
}

ConcentrationVector initial_concentrations() {
  ConcentrationVector vc{};
  const auto set = [&vc](int slot, double mole_fraction) { vc[at(slot)] = mole_fraction; };
  // Long-lived background gases.
  set(lch4, 1.7e-6);
  set(lco, 7e-8);
  set(lco2, 3.5e-4);
  set(lh2, 5e-7);
  set(lo2, 0.209);
  set(ln2, 0.781);
  set(lh2o, surface_humidity().mixing_ratio);
  // Oxidants, peroxides and acids.
  set(lo3, 1e-8);
  set(lh2o2, 5e-10);
  set(lhno3, 1e-11);
  set(lora1, 3e-11);
  set(lora2, 3e-12);
  // Nitrogen oxides and PAN.
  set(lno, 5e-12);
  set(lno2, 1e-11);
  set(lno3, 1e-12);
  set(lpan, 5e-12);
  // Carbonyls.
  set(lhcho, 1e-10);
  set(lald, 1e-10);
  set(lket, 1e-10);
  set(lmacr, 1e-11);
  // Alkanes, alkenes, aromatics and biogenics. TOL and OLT are one unit in
  // the last place above the doubles nearest 1.23e-10 and 6.16e-11.
  set(leth, 4e-10);
  set(lhc3, 5e-11);
  set(lhc5, 3.69e-11);
  set(lhc8, 2e-11);
  set(lete, 1e-10);
  set(lolt, 6.160000000000001e-11);
  set(loli, 1e-12);
  set(ltol, 1.2300000000000001e-10);
  set(lxyl, 5e-11);
  set(liso, 3e-11);
  set(lapi, 1e-11);
  set(llim, 1e-11);
  // Bromine reservoir.
  set(lbro, 2e-13);
  set(lbr2, 1e-11);
  set(lhobr, 1e-11);
  return vc;
}

}  // namespace box
