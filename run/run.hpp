#pragma once
// One run at one site: the order of work in every step, over parts that
// each have one job: the clock (run/clock.hpp), the site's records
// (run/record_feed.hpp), the sun (run/sun.hpp), the species held to
// observations (run/constraints.hpp), the budgets (run/budget_recorder.hpp)
// and the built-in mechanism's state and step (run/builtin_box.hpp). Only
// the last knows the built-in mechanism's storage; the others deal in
// species indices and mole fractions in mechanism order.
//
// The run starts at the scenario's local time and takes chemistry steps of
// its step length. At the first step of each hour it takes the next site
// record (air temperature and pressure drive the chemistry; the observed
// gases are only echoed); every step it places the sun, scales the
// photolysis frequencies and calls the chemistry step. What is written is
// up to the observers: the species table and progress lines of the model's
// own day (step observers, handed a read-only StepView), CSV, NetCDF and
// budget files (observers of the samples), anything added later. The steps
// are taken by a RunSession (run/session.hpp), in the program, in ensemble
// members and from Python alike.
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "budget/files.hpp"
#include "chemistry/builtin_photolysis.hpp"
#include "chemistry/chemistry_step.hpp"
#include "run/budget_recorder.hpp"
#include "run/campaign_diagnostics.hpp"
#include "run/builtin_box.hpp"
#include "run/file_box.hpp"
#include "run/clock.hpp"
#include "run/constraints.hpp"
#include "run/field_plan.hpp"
#include "run/record_feed.hpp"
#include "run/sun.hpp"
#include "io/input_files.hpp"
#include "environment/solar.hpp"
#include "output/text_output.hpp"
#include "output/observer.hpp"
#include "output/step_observer.hpp"
#include "scenario/scenario.hpp"

namespace box {

// Everything a scenario run reads before its first step.
struct SiteData {
  SiteParameters parameters;
  std::vector<SiteRecord> records;
  // The field campaign's terms, when the scenario has any.
  std::optional<FieldPlan> field;
};

// Whether a run of `scenario` reads site records: unless [environment]
// gives both the temperature and the pressure and no records file is named.
bool reads_site_records(const Scenario& scenario);

// Reads and checks the parameter file (none for a site by keys) and every site record the scenario
// needs (physically possible values; with the "lines" layout one record per
// line with exactly its 13 values), and the field campaign's observation
// files and terms. Throws InputError naming file, line and field or key.
// With the "free" layout a record that spans lines or leaves values on its
// line is read on, and reported to `warn` (a value missing or extra shifts
// every later hour).
SiteData load_site(const Scenario& scenario,
                   const std::function<void(const std::string&)>& warn = {});

class Run {
 public:
  // A run of `scenario`. Lines for standard output (start-up, echo,
  // progress, the sun's warnings and the chemistry step's messages) go to
  // `out`, which must outlive the run. Unless the scenario reads its site as
  // it goes, `site` holds what load_site() read. The observers of the
  // scenario's output formats are created by the run (unless
  // `format_writers` is false: the caller writes them); more can be added.
  // With a mechanism file ([chemistry] mechanism), `mechanism` is that file
  // read and derived (load_mechanism(); shared by the members of an
  // ensemble), or null to read it here. Throws InputError for a mechanism
  // file that cannot be read, or scenario names it lacks.
  Run(Scenario scenario, TextOutput& out, std::optional<SiteData> site = std::nullopt,
      std::shared_ptr<const LoadedMechanism> mechanism = nullptr, bool format_writers = true);
  // The model's own day with its inputs in `dir`, read as the run goes;
  // `settings` choose how the chemistry is integrated (the model's run uses
  // the defaults, other settings serve reference days).
  Run(std::filesystem::path dir, TextOutput& out, StepSettings settings = {});
  ~Run();

  // Both must outlive the run.
  void add_observer(StepObserver& observer) { step_observers_.push_back(&observer); }
  void add_observer(RunObserver& observer) { sample_observers_.push_back(&observer); }
  void add_observer(std::unique_ptr<RunObserver> observer);
  // Receives warnings for standard error (records that span lines or leave
  // values unread when the site is read as the run goes).
  void set_warning_sink(std::function<void(const std::string&)> warn) { warn_ = std::move(warn); }

  // Start-up: inputs opened and read (unless read before), the initial state
  // built, the observers started. Throws InputError or OutputError.
  void start();
  // One step; start() must have run and steps_done() < total_steps().
  void step();
  // step() in three parts, so that the chemistry of several runs can be
  // integrated together (ensemble members in the lanes of the vector
  // registers): begin_step() does everything before the chemistry,
  // chemistry_step() the chemistry as step() does it, end_step() the rest.
  // step() is exactly these three in turn.
  void begin_step();
  void chemistry_step();
  void end_step();
  // Between begin_step() and end_step(), instead of chemistry_step(): the
  // step's chemistry as a box for the lane integrator, and its outcome
  // (the integration succeeded with these counters). Only when
  // lanes_possible(): without budgets, and for the built-in mechanism a
  // closed box (a mechanism file's box goes into the lanes of FileLanes,
  // run/file_lanes.hpp, which file_box() names).
  bool lanes_possible() const { return !budgets_ && (file_ || !box_.chemistry().integrates_alone()); }
  LaneBox begin_lane_chemistry();
  void finish_lane_chemistry(const RosenbrockCounters& counters);
  // start(), every step and finish(), as a RunSession takes them
  // (run/session.hpp; exceptions propagate).
  void run_day();
  // The final sample and the observers' end; closes the outputs.
  void finish();

  const Scenario& scenario() const { return scenario_; }
  bool started() const { return started_; }
  int steps_done() const { return clock_.steps_done(); }
  int total_steps() const { return clock_.total_steps(); }
  double timloc() const { return clock_.local_time(); }
  double timin() const { return timin_; }
  double averad() const { return averad_; }
  double coszen() const { return coszen_; }
  double ratiod() const { return ratiod_; }
  const PhotolysisTable& photoj() const { return box_.photoj(); }
  const ConcentrationVector& vc() const { return box_.vc(); }
  const RadicalSlots& radicals() const { return box_.radicals(); }
  const SiteParameters& parameters() const { return parameters_; }
  const SolarState& solar() const { return sun_.state(); }
  const PhotolysisRates& photolysis() const { return box_.photolysis(); }
  const ChemistryStep& chemistry() const { return box_.chemistry(); }
  // Outcome of the last chemistry step.
  const StepResult& last_step() const { return last_step_; }
  // Air state handed to the chemistry in the last step.
  double temperature() const { return tt_; }
  double pressure() const { return pp_; }
  double air_density() const { return rho_phy_; }
  double moisture() const { return moist_; }
  // The step's air as the mechanism's rates take it (step_air()).
  const MechanismAir& air() const { return air_; }
  double step_length() const { return clock_.step_seconds(); }
  TextOutput& text_output() const { return out_; }
  // What the step observers see of the run now.
  StepView view() const;

  // The budget files of the run, when the scenario asks for budgets (after
  // start()): their intervals hold the integrated process rates.
  const budget::BudgetFiles* budget_files() const { return budgets_ ? &budgets_->files() : nullptr; }

  // Mole fractions of the species in mechanism order: for the built-in
  // mechanism the 80 from the driver's slots and radical variables (air:
  // 1), for a mechanism file its species in file order.
  std::vector<double> mole_fractions() const;
  // The species names, in the order of mole_fractions().
  std::vector<std::string> species_names() const;
  // What the run's mechanism holds, by name and number.
  const MechanismCatalogue& catalogue() const;
  // The mechanism file's box, or null for the built-in mechanism.
  const FileBox* file_box() const { return file_.get(); }

  // Spin-up (run/spin_up.hpp), before start(): the state to start from
  // instead of the initial state (mole fractions in the order of
  // mole_fractions(); every species but the built-in mechanism's M is
  // taken, species held to observations are held as usual), the day
  // stamped on the samples, and the days of spin-up taken, for the
  // outputs' metadata.
  void start_from(std::vector<double> state) { start_state_ = std::move(state); }
  void set_day(int day) { day_ = day; }
  void set_spin_up_days(int days) { description_.spin_up_days = days; }

 private:
  SiteRecord take_record();
  void apply_environment(double time_h);
  // The air of the step for every mechanism, from tt_, pp_, rho_phy_,
  // moist_ and what [environment] gave.
  MechanismAir step_air() const;
  void set_up_photolysis();
  PhotolysisRates photolysis_at(double time_h) const;
  // The MCM channels' frequencies (builtin_mcm_channels order) at `time_h`;
  // zero for "specified" and "none".
  std::vector<double> channel_frequencies(double time_h) const;
  void check_state() const;
  void write_notes() const;
  void hold_observed(double time_h);
  // [[injection]]: the species, step and budget process of each, worked
  // out at the start; inject() adds those of the coming step to the box.
  void plan_injections();
  void inject();
  // The held species that run free in the coming step (free_) released
  // from the box's holding, the others held.
  void hold_all_but_free();
  void sample_now(double coszen);
  void add_format_observers(bool sample_writers = true);
  void check_file_scenario() const;
  void start_file_box();
  // What an [initial] value is divided by to give a mole fraction: 1e9
  // for ppb, the first step's air number density for molecules cm-3.
  double initial_unit();
  // The sample observers' begin(), once.
  void begin_outputs();

  Scenario scenario_;
  TextOutput& out_;
  std::optional<SiteData> preloaded_;
  RecordFeed records_;
  bool reads_records_ = true;  // else [environment] gives the air
  // [photolysis] methods other than "specified": the frequencies in time
  // and their map onto the built-in mechanism's slots.
  std::optional<PhotolysisFrequencies> frequencies_;
  BuiltinPhotolysisMap builtin_map_;
  // The built-in mechanism's state and step.
  BuiltinBox box_;
  // A mechanism file's state and step, when the scenario names one (the
  // built-in box is then unused).
  std::unique_ptr<FileBox> file_;
  StepResult last_step_{};
  bool started_ = false;
  bool outputs_begun_ = false;  // the sample observers have begun
  std::vector<StepObserver*> step_observers_;
  std::vector<RunObserver*> sample_observers_;
  std::vector<std::unique_ptr<StepObserver>> owned_step_observers_;
  std::vector<std::unique_ptr<RunObserver>> owned_observers_;
  std::function<void(const std::string&)> warn_;

  RunClock clock_;

  // The field campaign's terms, if any.
  const FieldPlan* field_ = nullptr;
  Constraints constraints_;
  // Held species with no observation near the current step (1-based).
  std::vector<int> free_;

  // Budgets, when asked for.
  std::optional<BudgetRecorder> budgets_;
  FileStepBudget file_budget_;  // a file's step, for budgets_
  std::unique_ptr<bool[]> file_held_;  // a file's species held to observations, for budgets_
  // The scenario's injections: species (1-based), the step at whose start
  // each is added (0-based), its budget process among injected_species_,
  // and the amount as given. injected_ppb_: what the coming step's
  // injections added, per injected species, for budgets_.
  struct PlannedInjection {
    int species, step, process;
    const Injection* given;
  };
  std::vector<PlannedInjection> injections_;
  std::vector<int> injected_species_;
  std::vector<double> injected_ppb_;
  // The campaign diagnostics, when asked for.
  std::optional<CampaignDiagnostics> diagnostics_;
  std::optional<std::vector<double>> start_state_;
  int day_ = 0;
  RunDescription description_;

  // Site and sun.
  SiteParameters parameters_;
  RunSun sun_;
  double timin_ = 0;   // time stamp of the current hourly record
  double averad_ = 0;  // observed radiation of the hour, W m-2
  double tt_ = 0;      // air temperature, K
  double pp_ = 0;      // air pressure, Pa
  double coszen_ = 0;
  double ratiod_ = 0;  // observed / clear-sky radiation (0 until first computed)

  // The step's air.
  double rho_phy_ = 0;  // air density, kg m-3
  double moist_ = 0;    // water vapour mass mixing ratio, kg/kg
  MechanismAir air_{};
  // What [environment] gave at the step's start: the air's temperature or
  // pressure; water vapour (as a number density when given so, and the
  // relative humidity when given so).
  bool environment_air_ = false;
  bool environment_water_ = false;
  std::optional<double> water_molecules_cm3_;
  std::optional<double> relative_humidity_;
};

// The settings of the chemistry step that a scenario chooses.
StepSettings step_settings(const Scenario& scenario);

}  // namespace box
