#pragma once
// What of a run is a mechanism read from a file: its species' number
// densities in the file's order, its rate coefficients (evaluated from the
// compiled expressions for the step's air and light), and the Rosenbrock
// integration of the run-time system. The rest of the run deals in species
// indices (1-based, file order) and mole fractions, as it does for the
// built-in mechanism.
//
// Water is not a species of the MCM's files (H2O is a variable of the rate
// expressions), so the box keeps it as the built-in mechanism does: a mole
// fraction of its own, the surface layer's humidity until set. A file that
// declares H2O as a species integrates it; the rates then still read the
// box's water, which the run holds.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/open_box.hpp"
#include "chemistry/runtime_mechanism_system.hpp"
#include "environment/photolysis_frequencies.hpp"
#include "environment/time_series.hpp"
#include "integrator/lane_integrator.hpp"
#include "integrator/rosenbrock.hpp"
#include "io/mechanism_loading.hpp"
#include "mechanism/derivation.hpp"
#include "mechanism/native_kernels.hpp"
#include "mechanism/runtime_mechanism.hpp"
#include "mechanism/runtime_rates.hpp"
#include "output/observer.hpp"

namespace box {

struct Scenario;

// "no species "NAME" in mechanism <file>" with the file's close names.
std::string no_file_species(const Mechanism& m, std::string_view name);

// The species `name` of `m` (matched without regard to case) as a 1-based
// index; otherwise a ScenarioError "<where>: no species "NAME" in mechanism
// <file> (close: ...)": `where` is the scenario's key that names it.
int file_species(const Mechanism& m, std::string_view name, const std::string& where);

// Checks what `scenario` says of a mechanism file's species and reactions
// against `m`, before anything is run or written: initial values, output
// species, the spin-up's checked species, emissions, deposition and
// background air, species held to the records and families' members
// (matched without regard to case), rate factors R<n> (file order), and
// what is not run with a mechanism file (the built-in species table).
// Throws ScenarioError naming the scenario's key and the mechanism it looked
// in, with close names.
void check_mechanism_scenario(const Scenario& scenario, const Mechanism& m);

// The supplied rate parameters of `m` the scenario's [rate_parameters]
// leaves unset (they stay 0), as a note for standard error; "" when none.
std::string unset_rate_parameters_note(const Scenario& scenario, const Mechanism& m);

// The budget species of a scenario run of `m` by the file's names: those
// of output.budget_species, or when it is left at the built-in mechanism's
// list, the species of that list (OH for HO) the file has.
std::vector<std::string> file_budget_species(const Scenario& scenario, const Mechanism& m);

// The open box of a file's run, for the exchange processes' rates: per
// species emission over the mixing height (molecules cm-3 s-1, at an
// emission factor of 1), deposition velocity over it (s-1) and background
// mole fraction; the dilution rate (s-1); the processes in species order
// (emission, deposition, dilution, wall loss, sampling of each); and the step's emission factor
// and air number density.
struct FileExchange {
  std::vector<double> emission, deposition, background;
  double dilution = 0;
  // A chamber's wall loss per species and its sampling rate, s-1.
  std::vector<double> wall;
  double sampling = 0;
  std::vector<ExchangeProcess> processes;
  double emission_factor = 1.0;
  double air = 0.0;
  // Species held to observations (0-based) and the stored entries of their
  // rows: f and J are zero there, so that they keep their value through a
  // step while their columns let them react with the rest.
  std::vector<int> held;
  std::vector<std::size_t> held_entries;
};

// The run-time system opened to the surroundings: emission and dilution
// sources S_k and first-order losses L_k (deposition and dilution) added to
// the chemistry, f_k + S_k - L_k y_k, with -L_k on the Jacobian's diagonal.
// Its processes are the reactions, then the exchange processes.
class OpenFileSystem {
 public:
  // All must outlive the system; source and loss hold n values each.
  OpenFileSystem(const RuntimeMechanismSystem& chemistry, const std::vector<double>& source,
                 const std::vector<double>& loss, const FileExchange& exchange)
      : c_(&chemistry), source_(&source), loss_(&loss), x_(&exchange) {}
  int n() const noexcept { return c_->n(); }
  int nnz() const noexcept { return c_->nnz(); }
  void fun(double t, const double* y, double* f) const {
    c_->fun(t, y, f);
    for (std::size_t k = 0; k < source_->size(); ++k) f[k] = f[k] + (*source_)[k] - (*loss_)[k] * y[k];
    for (const int k : x_->held) f[k] = 0.0;
  }
  void jac(double t, const double* y, double* jac) const {
    c_->jac(t, y, jac);
    for (std::size_t k = 0; k < loss_->size(); ++k) jac[c_->diag(static_cast<int>(k))] -= (*loss_)[k];
    for (const std::size_t p : x_->held_entries) jac[p] = 0.0;
  }
  int decomp(double* a) const { return c_->decomp(a); }
  int decomp_shifted(const double* jac, double shift, double* a) const { return c_->decomp_shifted(jac, shift, a); }
  void solve(const double* lu, double* x) const { c_->solve(lu, x); }
  std::size_t diag(int species) const { return c_->diag(species); }

  int nproc() const noexcept { return c_->nproc() + static_cast<int>(x_->processes.size()); }
  void process_rates(double t, const double* y, double* rate) const {
    c_->process_rates(t, y, rate);
    exchange_rates(x_->processes, *x_, x_->emission_factor, x_->air, y, rate + c_->nproc());
  }
  void process_jvp(double t, const double* y, const double* v, double* out) const {
    c_->process_jvp(t, y, v, out);
    exchange_jvp(x_->processes, *x_, v, out + c_->nproc());
  }

 private:
  const RuntimeMechanismSystem* c_;
  const std::vector<double>* source_;
  const std::vector<double>* loss_;
  const FileExchange* x_;
};

static_assert(ProcessSystem<OpenFileSystem>);

// What one step of a file's box did, for budgets, in ppb of the step's air
// as StepBudget has it: the integrals of the reactions then the exchange
// processes (FileBox::exchange_processes()), and per species what clipping
// negative values added on the way in and out.
struct FileStepBudget {
  std::vector<double> process;
  std::vector<double> clipping;
};

class FileBox {
 public:
  // The run's settings: method, tolerances, rate factors (R<n> in file
  // order), photolysis method and corrections. `first_h`, `last_h`: the
  // span of local hours the photolysis inputs must cover.
  FileBox(std::shared_ptr<const LoadedMechanism> loaded, const Scenario& scenario, double first_h,
          double last_h);

  const Mechanism& mechanism() const { return loaded_->mechanism; }
  int species_count() const { return loaded_->derivation.n; }

  // Every species at 0 and water at the surface layer's humidity.
  void start();
  // Species `species` (1-based, file order) at mole fraction `x`.
  void set_mole_fraction(int species, double x) { x_[static_cast<std::size_t>(species - 1)] = x; }
  void set_water(double x) { h2o_ = x; }
  double water() const { return h2o_; }
  // Mole fractions in file order.
  const std::vector<double>& mole_fractions() const { return x_; }
  // Water vapour's mass mixing ratio, kg/kg: mole fraction times 18/28.8.
  double moisture() const;

  // The photolysis frequencies of the step, by the mechanism's slots: by
  // the scenario's method (mcm, file, none) at `light`, or with method
  // "specified" the built-in mechanism's frequencies of the step by slot
  // (chemistry/builtin_photolysis.hpp).
  bool specified_light() const { return !light_.has_value(); }
  void set_light(const LightAt& light);
  void set_specified_light(const PhotolysisRates& rates);
  const std::vector<double>& photolysis() const { return j_; }

  // What the run knows of the light at local time time_h (the sun there,
  // the step's clear-sky ratio). Given, with methods mcm and file the
  // frequencies are functions of time within each step: every evaluation
  // of the system at a time of the step uses those at that time, and each
  // step is integrated over the seconds of the run's clock from the time
  // of the last set_light(). Methods "specified" and "none" keep the
  // step's frequencies over the step.
  using LightOfTime = std::function<LightAt(double time_h)>;
  void set_light_in_time(LightOfTime light);

  // Sets the rates at the step's air (as advance() takes it) and light and
  // the present concentrations, and checks them as advance() does: the
  // first step's can so be checked before anything is written.
  void check_rates(const MechanismAir& air);

  // One chemistry step of `dt` seconds in `air`. A rate coefficient that is
  // not a finite number of 0 or more (at the first step, or when the air or
  // light makes it so later) is an InputError naming the reaction and its
  // line.
  // With `budget`, the step's process integrals and clipping are written
  // to it; the species follow the same path, bit for bit.
  StepResult advance(double dt, const MechanismAir& air, FileStepBudget* budget = nullptr);

  // The rate coefficients in force for the air of a step (as advance()
  // takes it), the frequencies set last and the
  // species now (their RO2 sum), one per reaction in file order with the
  // rate factors applied; the species' number densities go to `c`. For the
  // diagnostics at an output time: the integration's own coefficients are
  // not touched. A coefficient that is no finite number of 0 or more is NaN
  // (advance() says which).
  const std::vector<double>& coefficients_now(const MechanismAir& air, std::vector<double>& c) const;

  // advance() in parts around an integration elsewhere: the lanes of an
  // ensemble's members (run/file_lanes.hpp), without budgets, over the
  // same interval as advance() (on the run's clock when the light follows
  // time). begin_lanes() readies the step as advance() does, and may throw
  // as it does; finish_lanes() takes the integrated values back.
  LaneBox begin_lanes(double dt, const MechanismAir& air);
  StepResult finish_lanes(const RosenbrockCounters& counters);
  const LoadedMechanism& loaded() const { return *loaded_; }
  // The step's sources and losses of the open box (n each; set only when
  // open()) and its exchange (the species held).
  const std::vector<double>& sources() const { return source_; }
  const std::vector<double>& losses() const { return loss_; }
  const FileExchange& exchange() const { return exchange_; }

  const RuntimeMechanismSystem& system() const { return system_; }
  // The scenario's emissions, deposition or dilution are integrated.
  bool open() const { return open_; }
  // The exchange processes that follow the reactions in a budget (species
  // 0-based, file order).
  const std::vector<ExchangeProcess>& exchange_processes() const { return exchange_.processes; }
  // Multiplies every emission from the next step on (the emission
  // profile's factor; 1 until set).
  void set_emission_factor(double factor) { emission_factor_ = factor; }
  // The rate parameters of the scenario's time series at local time
  // `time_h`, from the next step on (the constants are set from the
  // start); only the coefficients that use them are evaluated again.
  void set_rate_parameters_at(double time_h);
  // Species (1-based) the run holds to observations: set before each step
  // and kept there through it (their deposition and dilution are still
  // reported, at the held value, as the built-in mechanism's are). Indices
  // past the species (the box's water) are left alone. Replaces the species
  // held before (one with no observation near a step runs free through it).
  void hold(const std::vector<int>& species);

 private:
  // Sets the rates at `air`, the step's frequencies and y_, and refuses a
  // bad one (InputError naming the reaction and its line).
  void set_checked_rates(const MechanismAir& air);
  // The step's parts before and after the integration: the concentrations,
  // the checked rates and the open box's terms, returning the air's number
  // density; then the mole fractions (and the budget) from the result.
  double prepare_step(const MechanismAir& air, FileStepBudget* budget);
  void take_step(double c_m, FileStepBudget* budget);
  // Where the step starts on the integrator's clock, and its options (the
  // same for one box and for the lanes).
  double step_begins() const;
  IntegratorOptions step_options(double dt) const;

  std::shared_ptr<const LoadedMechanism> loaded_;
  RuntimeMechanismSystem system_;
  Rosenbrock<RuntimeMechanismSystem> integrator_;
  IntegratorOptions options_;
  std::optional<PhotolysisFrequencies> light_;
  // Method "specified": the built-in slot of each of the mechanism's
  // channels (0: a frequency of 0), specified_channel_slot().
  std::vector<int> specified_slots_;
  std::vector<std::pair<int, double>> rate_factors_;
  // Supplied rate parameters (coefficient, value): the constants, then the
  // time series' columns, whose values follow the steps.
  std::vector<std::pair<int, double>> parameters_;
  std::shared_ptr<const TimeSeries> parameter_series_;
  std::vector<const TimeSeriesColumn*> parameter_columns_;
  Interpolation parameter_interpolation_ = Interpolation::linear;
  std::vector<double> x_;  // mole fractions, file order
  std::vector<double> y_;  // molecules cm-3, the integration's
  std::vector<double> j_;
  std::vector<double> f_;
  LightOfTime light_of_time_;
  double step_start_s_ = 0;  // with light in time: the step's start on the run's clock
  double h2o_ = 0;
  bool checked_ = false;
  // The open box (FileExchange) and the step's sources and losses; the
  // process integrals of a step with budgets.
  bool open_ = false;
  FileExchange exchange_;
  std::vector<double> source_, loss_;
  double emission_factor_ = 1.0;
  ProcessIntegrals processes_;
  OpenFileSystem open_system_{system_, source_, loss_, exchange_};
  Rosenbrock<OpenFileSystem> open_integrator_;
  // The coefficients of coefficients_now(), apart from the integration's.
  mutable std::optional<RuntimeRates> sample_rates_;
  mutable std::vector<double> sample_k_;
  // A step in the lanes: its air, and the integrator's settings as
  // advance() hands them to the one-box integrator.
  double lane_air_ = 0.0;
  IntControls lane_icntrl_{};
  RealControls lane_rcntrl_{};
  std::vector<double> lane_atol_, lane_rtol_;
};

}  // namespace box
