#pragma once
// The chemistry step: advances the gas-phase chemistry of one air parcel by
// one model time step. The driver hands it its concentration vector (mole
// fractions), the air state, the short-lived radicals it keeps in separate
// variables and the step's photolysis frequencies; the step converts them to
// number densities, evaluates the rate coefficients once for the step's
// temperature and air density, integrates the mechanism over the step and
// converts the result back.
#include <array>
#include <cstdint>
#include <utility>

#include "chemistry/mechanism_system.hpp"
#include "common/line_item.hpp"
#include "integrator/rosenbrock.hpp"
#include "mechanism/parameters.hpp"

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

// How the step integrates. The model's run uses the defaults: ROS-3 with
// 1 molecule cm-3 absolute and 0.1 % relative tolerance for every species.
// Other settings serve reference integrations (a tight RODAS-4 day).
struct StepSettings {
  std::int32_t method = 2;  // 1 ROS-2, 2 ROS-3, 3 ROS-4, 4 RODAS-3, 5 RODAS-4
  double atol = 1.0;        // molecules cm-3
  double rtol = 1.0E-3;
};

// Integrator work summed over the steps taken by one ChemistryStep.
struct StepStatistics {
  std::int64_t steps = 0;  // chemistry steps (integrations)
  std::int64_t nfun = 0, njac = 0, nstp = 0, nacc = 0, nrej = 0, ndec = 0,
               nsol = 0, nsng = 0;
};

// Owns the working storage of the step and its integrator, so that each
// thread or parcel can have its own; nothing of one call is read by the next.
class ChemistryStep {
 public:
  ChemistryStep() : ChemistryStep(LineSink{}) {}
  // `messages` receives the integrator's free-format lines (error reports,
  // warnings), to be written in program order with the driver's output.
  explicit ChemistryStep(LineSink messages, StepSettings settings = {})
      : settings_(settings), integrator_(std::move(messages)) {}

  // nspec_old: length of vc (at least 82); vc: driver concentration vector,
  // mol/mol, updated in place; dtstepc: step length (s); p_phy (Pa) is not
  // used: the air density comes from rho_phy (kg m-3) alone; t_phy (K);
  // moist: water vapour mass mixing ratio (kg/kg); id, vdrog3 and ldrog are
  // accepted for the call's shape and not used.
  void racm_interface(int nspec_old, double* vc, int id, double dtstepc,
                      double p_phy, double t_phy, double rho_phy, double moist,
                      const double* vdrog3, int ldrog, RadicalSlots& radicals,
                      const PhotolysisRates& ph);

  const StepStatistics& statistics() const noexcept { return statistics_; }
  const StepSettings& settings() const noexcept { return settings_; }

  // The mechanism's inputs of the last call, for inspection: number
  // densities before the integration is written back, fixed species and
  // rate coefficients.
  const std::array<double, nfix>& fix() const noexcept { return fix_; }
  const std::array<double, nreact>& rconst() const noexcept { return rconst_; }
  double conv() const noexcept { return conv_; }

 private:
  StepSettings settings_;
  Rosenbrock<MechanismSystem> integrator_;
  StepStatistics statistics_;

  // Working storage: every entry read in a call is written earlier in it.
  std::array<double, nvar> var_{};
  std::array<double, nfix> fix_{};
  std::array<double, nreact> rconst_{};
  std::array<double, njv> jv_{};
  std::array<double, nspec> atol_{};
  std::array<double, nspec> rtol_{};
  IntControls icntrl_{};
  RealControls rcntrl_{};
  double conv_ = 0;
};

}  // namespace box
