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
#include <optional>
#include <utility>
#include <vector>

#include "chemistry/mechanism_system.hpp"
#include "integrator/lane_integrator.hpp"
#include "chemistry/open_box.hpp"
#include "chemistry/step_inputs.hpp"
#include "common/line_item.hpp"
#include "integrator/rosenbrock.hpp"
#include "mechanism/parameters.hpp"
#include "mechanism/rate_cache.hpp"
#include "mechanism/runtime_mechanism.hpp"

namespace box {

// How the step integrates. The model's run uses the defaults: ROS-3 with
// 1 molecule cm-3 absolute and 0.1 % relative tolerance for every species.
// Other settings serve reference integrations (a tight RODAS-4 day).
struct StepSettings {
  std::int32_t method = 2;  // 1 ROS-2, 2 ROS-3, 3 ROS-4, 4 RODAS-3, 5 RODAS-4
  double atol = 1.0;        // molecules cm-3
  double rtol = 1.0E-3;
  // Factors on single rate coefficients (reaction number, factor), applied
  // after the coefficients are evaluated: sensitivity studies.
  std::vector<std::pair<int, double>> rate_factors = {};
};

// What one chemistry step did: the integrator's status (ros_success or a
// negative code) and its work.
struct [[nodiscard]] StepResult {
  int status = 0;
  RosenbrockCounters counters{};
  bool ok() const { return status == ros_success; }
};

// What one chemistry step did to each species, for budgets. All amounts
// are in ppb (mole fraction times 1e9) of the step's air: the integrals in
// molecules cm-3 divided by the step's air number density, so that the
// amounts of steps at different densities add up.
struct StepBudget {
  // The integral over the step of each reaction's rate: reaction n (1-based)
  // changes species s by net_coef(s, n) * reaction[at(n)].
  std::array<double, nreact> reaction{};
  // Per species (mechanism order): what the clipping of negative values
  // added, on the way into the step (a negative input taken as zero) and on
  // the way out (a negative result taken as zero); zero where none was
  // clipped. With these, x(out) - x(in) = sum_n net_coef * reaction +
  // clipping, to rounding.
  std::array<double, nvar> clipping{};
  // The integrals of the open box's exchange processes (OpenBoxPlan::
  // processes, in that order), ppb; empty for a closed box.
  std::vector<double> exchange;
};

// The air of the site files' state as the chemistry sees it: the number
// density of air from the density rho (kg m-3) and the molar mass of dry
// air, water vapour from its mass mixing ratio moist (kg/kg) and the molar
// mass of water. Only `temp`, `m` and `h2o` are set.
MechanismAir air_of_density(double t_phy, double rho_phy, double moist);

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
      : settings_(settings), messages_(messages), integrator_(std::move(messages)) {}

  // vc: driver concentration vector (82 slots), mol/mol, updated in place;
  // dtstepc: step length (s); t_phy (K); rho_phy: air density (kg m-3), from
  // which alone the number density of air comes; moist: water vapour mass
  // mixing ratio (kg/kg). Failures are reported on the message sink only.
  void racm_interface(double* vc, double dtstepc, double t_phy, double rho_phy, double moist,
                      RadicalSlots& radicals, const PhotolysisRates& ph);

  // racm_interface that also reports what the step did (`budget`, every
  // entry written). The species come out bit for bit as racm_interface
  // leaves them: the rate integrals are carried along by the integrator
  // without taking part in its error control.
  void racm_interface_budget(double* vc, double dtstepc, double t_phy, double rho_phy, double moist,
                             RadicalSlots& radicals, const PhotolysisRates& ph, StepBudget& budget);

  // The same step with its outcome: vc (82 driver slots) and the radicals
  // are advanced by dtstepc seconds in `air` (its temperature, and the
  // number densities of air and water vapour, molecules cm-3); with
  // `budget`, what the step did to each species is reported there.
  StepResult advance(double* vc, double dtstepc, const MechanismAir& air, RadicalSlots& radicals,
                     const PhotolysisRates& ph, StepBudget* budget = nullptr);

  // advance() in three parts, for integrating several parcels together
  // (chemistry/lane_integrator.hpp): begin() converts the inputs and
  // evaluates the rate coefficients, lane_box() is what the integration
  // needs, finish() writes back the integrated values with the integrator's
  // status and counters. begin(); finish() around an integration of
  // lane_box() with the one-box integrator's result is advance() without a
  // budget, bit for bit. Only a closed box goes this way.
  bool integrates_alone() const noexcept { return open_.has_value() || timed_.has_value(); }
  void begin(double* vc, double dtstepc, const MechanismAir& air, RadicalSlots& radicals,
             const PhotolysisRates& ph);
  LaneBox lane_box();
  StepResult finish(double* vc, RadicalSlots& radicals, int ierr, const RosenbrockCounters& counters);

  // Opens the parcel to `box` for the following calls: its emission,
  // deposition and dilution join the integrated system, and its held
  // species keep the values the driver set before each call (written back
  // bit for bit). A closed OpenBox returns to the mechanism alone, which
  // integrates exactly as if this were never called. The index lists the
  // integration walks are worked out here, once.
  void set_open_box(const OpenBox& box);
  // Which species of the open box are held from the next call on, its other
  // terms kept: a species held to observations that has none near the step
  // runs free through it and reacts as any other. The exchange processes
  // stay the same (a held species is never emitted, and it keeps its
  // deposition and dilution). Nothing changes for a closed box.
  void set_held(const std::array<bool, nvar>& held);
  // The open box of the following calls, or null for the closed box.
  const OpenBox* open_box() const noexcept { return open_ ? &open_->box : nullptr; }
  // Multiplies every emission of the open box from the next call on (the
  // emission profile's factor for the step; 1 until set).
  void set_emission_factor(double factor) noexcept { emission_factor_ = factor; }
  // The open box's exchange processes (after the reactions in a budget),
  // or null for the closed box.
  const std::vector<ExchangeProcess>* exchange_processes() const noexcept {
    return open_ ? &open_->plan.processes : nullptr;
  }

  // Photolysis frequencies as functions of time for the following calls
  // (an empty function: the step's `ph` held over the step, as before).
  // Given, the integration is non-autonomous: every evaluation of the
  // system at time t (f, the Jacobian, df/dt, the stages, the budgets'
  // rates) uses the photolysis coefficients of the frequencies at t, the
  // other coefficients being the step's. Each call then integrates over
  // [start, start + dtstepc], `start` set by set_step_start() (seconds of
  // the run's clock, so that the frequencies are asked at the times they
  // describe and the integrator's difference quotient for df/dt has a
  // time increment the clock can resolve).
  void set_time_dependent_photolysis(TimedCoefficients::Frequencies frequencies);
  void set_step_start(double seconds) noexcept { time_start_ = timed_ ? seconds : 0.0; }

  const StepStatistics& statistics() const noexcept { return statistics_; }
  const StepSettings& settings() const noexcept { return settings_; }

  // The mechanism's inputs of the last call, for inspection: number
  // densities before the integration is written back, fixed species and
  // rate coefficients.
  const std::array<double, nfix>& fix() const noexcept { return fix_; }
  const std::array<double, nreact>& rconst() const noexcept { return rconst_; }
  double conv() const noexcept { return conv_; }

 private:
  // The open box with its index lists, its own integrator (another system
  // type) and the working storage of its terms.
  struct Open {
    OpenBox box;
    OpenBoxPlan plan;
    Rosenbrock<OpenBoxSystem> integrator;
    std::array<double, nvar> source{};       // S_k of the step, molecules cm-3 s-1
    std::array<double, nvar> held_values{};  // driver values of the held species
  };

  // Integrates var_ over [0, time_end] with the open-box terms.
  int integrate_open(double time_end, double* vc, RadicalSlots& radicals,
                     ProcessIntegrals* processes);
  void write_back_held(double* vc, RadicalSlots& radicals) const;
  // The parts of advance(); `budget` may be null.
  void prepare(double* vc, double dtstepc, const MechanismAir& air, RadicalSlots& radicals,
               const PhotolysisRates& ph, StepBudget* budget);
  StepResult write_back(double* vc, RadicalSlots& radicals, int ierr, const RosenbrockCounters& c,
                        StepBudget* budget);
  double time_end_ = 0;
  double time_start_ = 0;
  std::optional<TimedCoefficients> timed_;

  StepSettings settings_;
  LineSink messages_;
  Rosenbrock<MechanismSystem> integrator_;
  StepStatistics statistics_;
  std::optional<Open> open_;
  double emission_factor_ = 1.0;

  // Working storage: every entry read in a call is written earlier in it.
  std::array<double, nvar> var_{};
  std::array<double, nfix> fix_{};
  std::array<double, nreact> rconst_{};
  // The coefficients of the last air state, before the rate factors.
  RateCoefficientCache rate_cache_;
  std::array<double, njv> jv_{};
  std::array<double, nspec> atol_{};
  std::array<double, nspec> rtol_{};
  IntControls icntrl_{};
  RealControls rcntrl_{};
  double conv_ = 0;
  ProcessIntegrals processes_{nreact};
};

}  // namespace box
