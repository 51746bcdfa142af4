// Rate coefficients of all reactions, evaluated once per chemistry step
// (temperature and air density are constant over a step).
#include <cmath>

#include "mechanism/rate_laws.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {
namespace {

double coefficient(const mech::RateLaw& r, const double* j, double c_m, double temp) noexcept {
  const auto& p = r.p;
  switch (r.law) {
    case mech::Law::photolysis:
      return j[at(r.slot)];
    case mech::Law::constant:
      return p[0];
    case mech::Law::arr2:
      return arr2(p[0], p[1], temp);
    case mech::Law::arr2_share:
      // M stands for all of the air; these reactions are with its N2 or O2
      // (or, for HO + M, a fixed trace share), so the coefficient carries
      // that mole fraction.
      return arr2(p[0], p[1], temp) * p[2];
    case mech::Law::troe:
      return troe(p[0], p[1], p[2], p[3], temp, c_m);
    case mech::Law::troee:
      return troee(p[0], p[1], p[2], p[3], p[4], p[5], temp, c_m);
    case mech::Law::thermal_t2:
      return thermal_t2(p[0], p[1], temp);
    case mech::Law::hno3_oh:
      return k46(temp, c_m);
    case mech::Law::ozone_formation:
      // O + O2 + M: the O2 and the third body are both air, so the
      // coefficient is proportional to M and M is also a reactant.
      return 6.0E-34 * c_m * std::pow(temp / 300.0, -2.3);
    case mech::Law::ho2_self:
      // A bimolecular channel and a third-body-assisted one.
      return 1.7E-33 * c_m * std::exp(1000.0 / temp) + 2.3E-13 * std::exp(600.0 / temp);
    case mech::Law::ho2_self_h2o:
      // The water-vapour enhancement of HO2 + HO2 (water vapour is a factor
      // of the rate, so this coefficient is termolecular).
      return 2.38E-54 * c_m * std::exp(3200.0 / temp) + 3.22E-34 * std::exp(2800.0 / temp);
    case mech::Law::co_oh:
      // CO + HO speeds up with pressure through the HOCO intermediate.
      return 1.5E-13 * (1.0 + 2.439E-20 * c_m);
  }
  return 0.0;
}

}  // namespace

void racm_update_rconst(const double* j, [[maybe_unused]] int nj, double* rconst, double c_m,
                        [[maybe_unused]] double c_h2o, double temp) noexcept {
  for (int n = 1; n <= nreact; ++n)
    rconst[at(n)] = coefficient(mech::reactions[at(n)].law, j, c_m, temp);
}

}  // namespace box
