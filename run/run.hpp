#pragma once
// One run at one site: the clock, the state that lives from step to step,
// and the order of work in every step.
//
// The run starts at the scenario's local time and takes chemistry steps of
// its step length. At the first step of each hour it takes the next site
// record (air temperature and pressure drive the chemistry; the observed
// gases are only echoed); every step it places the sun, scales the
// photolysis frequencies and calls the chemistry step. What is written is
// up to the observers: the species table and progress lines of the model's
// own day, CSV and NetCDF files, anything added later.
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chemistry/chemistry_step.hpp"
#include "chemistry/concentration_slots.hpp"
#include "budget/files.hpp"
#include "chemistry/photolysis.hpp"
#include "run/field_plan.hpp"
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

// Reads and checks the parameter file and every site record the scenario
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
  // scenario's output formats are created by the run; more can be added.
  Run(Scenario scenario, TextOutput& out, std::optional<SiteData> site = std::nullopt);
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
  // lanes_possible(): a closed box without budgets.
  bool lanes_possible() const { return budget_files_ == nullptr && !chemistry_.integrates_alone(); }
  LaneBox begin_lane_chemistry();
  void finish_lane_chemistry(const RosenbrockCounters& counters);
  // start() and every step.
  void run_day();
  // The final sample and the observers' end; closes the outputs.
  void finish();

  const Scenario& scenario() const { return scenario_; }
  bool started() const { return started_; }
  int steps_done() const { return itime_; }
  int total_steps() const { return ntimes_; }
  double timloc() const { return timloc_; }
  double timin() const { return timin_; }
  double averad() const { return averad_; }
  double coszen() const { return coszen_; }
  double ratiod() const { return ratiod_; }
  const PhotolysisTable& photoj() const { return photoj_; }
  const ConcentrationVector& vc() const { return vc_; }
  const RadicalSlots& radicals() const { return radicals_; }
  const SiteParameters& parameters() const { return parameters_; }
  const SolarState& solar() const { return solar_; }
  const PhotolysisRates& photolysis() const { return ph_; }
  const ChemistryStep& chemistry() const { return chemistry_; }
  // Outcome of the last chemistry step.
  const StepResult& last_step() const { return last_step_; }
  // Air state handed to the chemistry in the last step.
  double temperature() const { return tt_; }
  double pressure() const { return pp_; }
  double air_density() const { return rho_phy_; }
  double moisture() const { return moist_; }
  double step_length() const { return deltim_; }
  TextOutput& text_output() const { return out_; }
  // What the step observers see of the run now.
  StepView view() const;

  // The budget files of the run, when the scenario asks for budgets (after
  // start()): their intervals hold the integrated process rates.
  const budget::BudgetFiles* budget_files() const { return budget_files_; }

  // Mole fractions of the 80 species in mechanism order, from the driver's
  // slots and radical variables (air: 1).
  std::array<double, nspec> mole_fractions() const;

 private:
  SiteRecord take_record();
  void follow_the_day();
  void check_state() const;
  void write_notes() const;
  void hold_observed(double time_h);
  void start_budgets();
  void add_step_budget(const StepBudget& budget);
  void write_budget_file() const;
  double clock_hours() const { return scenario_.time.start_hour + itime_ * deltim_ / 3600.0; }
  void sample_now(double coszen);
  void add_format_observers();

  Scenario scenario_;
  TextOutput& out_;
  std::optional<SiteData> preloaded_;
  std::optional<SiteFile> site_;
  std::size_t next_record_ = 0;
  ChemistryStep chemistry_;
  StepResult last_step_{};
  bool started_ = false;
  std::vector<StepObserver*> step_observers_;
  std::vector<RunObserver*> sample_observers_;
  std::vector<std::unique_ptr<StepObserver>> owned_step_observers_;
  std::vector<std::unique_ptr<RunObserver>> owned_observers_;
  std::function<void(const std::string&)> warn_;

  // Clock.
  double timloc_ = 5.0;    // local time at the start of the step, hours
  double deltim_ = 300.0;  // step length, s
  int ntimes_ = 0;         // number of steps
  int itime_ = 0;          // steps completed
  int day_offset_ = 0;     // midnights crossed since the start

  // The field campaign's terms, if any.
  const FieldPlan* field_ = nullptr;
  double mean_cosine_ = 0;  // day mean of max(cos zenith, 0), for daylight emissions

  // Budgets, when asked for: the files, the processes after the reactions,
  // and what holding species to observations changed at this step's start.
  budget::BudgetFiles* budget_files_ = nullptr;
  budget::ProcessList processes_;
  std::array<double, nvar> reset_ppb_{};
  std::vector<double> step_processes_;
  RunDescription description_;

  // Site and sun.
  SiteParameters parameters_;
  SolarState solar_;
  double timin_ = 0;   // time stamp of the current hourly record
  double averad_ = 0;  // observed radiation of the hour, W m-2
  double tt_ = 0;      // air temperature, K
  double pp_ = 0;      // air pressure, Pa
  double coszen_ = 0;
  double ratiod_ = 0;  // observed / clear-sky radiation (0 until first computed)

  // Chemistry state and the step's inputs.
  ConcentrationVector vc_{};
  RadicalSlots radicals_;
  PhotolysisTable phot1_{};
  PhotolysisTable photoj_{};
  PhotolysisRates ph_{};
  double extf_ = 1.0;
  double rho_phy_ = 0;  // air density, kg m-3
  double moist_ = 0;    // water vapour mass mixing ratio, kg/kg
  double step_end_s_ = 0;  // end of the step begun, seconds of the day
};

// The settings of the chemistry step that a scenario chooses.
StepSettings step_settings(const Scenario& scenario);

}  // namespace box
