#pragma once
// The chemistry step: advances the gas-phase chemistry of one air parcel by
// one model time step. The driver hands it its concentration vector (mole
// fractions), the air state, the short-lived radicals it keeps in separate
// variables and the step's photolysis frequencies.
#include <array>
#include <utility>

#include "common/line_item.hpp"

namespace box {

// The 29 radical and intermediate slots the driver keeps between steps, in
// the order of the call. The first 25 are read and written by the step; the
// last four are accepted and never touched.
struct RadicalSlots {
  double addt = 0, addx = 0, addc = 0, etep = 0, oltp = 0, olip = 0, cslp = 0,
         limp = 0, hc5p = 0, hc8p = 0, tolp = 0, xylp = 0, apip = 0, isop = 0,
         hc3p = 0, ethp = 0, o3p = 0, tco3 = 0, mo2 = 0, o1d = 0, olnn = 0,
         olnd = 0, rpho = 0, xo2 = 0, ketp = 0;
  double xno2 = 0, ol2p = 0, oln = 0, macp = 0;
};

// The 51 photolysis frequencies (s-1) in argument order: storage offset
// at(pj_x) holds ph_x.
inline constexpr int njv = 51;
using PhotolysisRates = std::array<double, njv>;

// Owns the working storage of the step (and, once the chemistry lands, the
// integrator), so that each thread or parcel can have its own.
class ChemistryStep {
 public:
  ChemistryStep() = default;
  // `messages` receives the step's free-format message lines (integrator
  // errors), to be written in program order with the driver's output.
  explicit ChemistryStep(LineSink messages) : messages_(std::move(messages)) {}

  // nspec_old: length of vc (at least 82); vc: driver concentration vector,
  // mol/mol, updated in place; dtstepc: step length (s); p_phy (Pa, unused),
  // t_phy (K), rho_phy (kg m-3), moist (kg/kg); vdrog3/ldrog unused.
  void racm_interface(int nspec_old, double* vc, int id, double dtstepc,
                      double p_phy, double t_phy, double rho_phy, double moist,
                      const double* vdrog3, int ldrog, RadicalSlots& radicals,
                      const PhotolysisRates& ph);

 private:
  LineSink messages_;
};

}  // namespace box
