#pragma once
// Diel steady state ([spin_up]): the first 24 hours of the run's forcing
// (records, observations, emission profile, held species, the sun of the
// first day) are repeated with the state carried over from one day to the
// next until the day repeats itself: every checked species changes by less
// than the tolerance, relative, between the same time of successive days
// (the state after each day against the state after the day before; the
// first day against the initial state), or `max_days` have been taken. The
// scenario's own run then starts from the last day's state.
//
// What the unmeasured species tend to is the state that the site's
// emissions, deposition, sun and held observations sustain: long-lived
// intermediates (PAN, organic nitrates, peroxides, HNO3) take days to build
// up from a guessed initial state, radicals follow within the hour.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "output/observer.hpp"
#include "output/text_output.hpp"
#include "run/run.hpp"
#include "scenario/scenario.hpp"

namespace box {

struct SpinUpOutcome {
  int days = 0;  // days repeated
  bool converged = false;
  // Mole fractions after the last day, in the order of Run::mole_fractions()
  // (the built-in mechanism's species, or a mechanism file's in file order).
  std::vector<double> state;
  // The checked species that still changed by more than the tolerance on
  // the last day, with their relative change, largest first (empty when
  // converged).
  std::vector<std::pair<std::string, double>> changing;
};

// The scenario of one spin-up day: 24 hours from the scenario's start,
// without outputs of its own, its steps quiet.
Scenario spin_up_day(const Scenario& scenario);

// The relative day-to-day changes larger than `tolerance`, largest first,
// of the checked species among the integrated ones, `names` (the first
// names.size() entries of both states): those of `species` (matched
// without regard to case), or when it is empty every one above 1e-6 ppb
// on either day.
std::vector<std::pair<std::string, double>> changing_species(const std::vector<double>& before,
                                                             const std::vector<double>& after,
                                                             const std::vector<std::string>& names,
                                                             const std::vector<std::string>& species,
                                                             double tolerance);

// Takes the days. `out` receives the days' messages (their chemistry
// step's reports). With `shared` (output = "all": SharedObservers), each
// day's samples go to these observers too, stamped with the day. With a
// mechanism file, `mechanism` is that file read once (null: each day reads
// it). `after_step`, when given, sees each day (1, 2, ...) after each of
// its steps, as a RunSession's after-step hook. Throws as a run does
// (InputError, OutputError, ImpossibleState, FloatingPointStop).
SpinUpOutcome spin_up(const Scenario& scenario, TextOutput& out, const std::vector<RunObserver*>& shared = {},
                      std::shared_ptr<const LoadedMechanism> mechanism = nullptr,
                      const std::function<void(int, const Run&)>& after_step = {});

// The writers of the scenario's sample formats (CSV, NetCDF, diagnostics,
// photolysis), those of the built-in mechanism or, with `mechanism`, of
// that file's species: for output = "all", made by the caller and shared
// by the days and the run.
std::vector<std::unique_ptr<RunObserver>> scenario_writers(const Scenario& scenario,
                                                           const LoadedMechanism* mechanism);

// The message for standard error when the spin-up did not converge:
// which species still changed, by how much.
std::string not_converged_message(const Scenario& scenario, const SpinUpOutcome& outcome);

// One observer fed by several runs in turn (the days of a spin-up, then
// the scenario's run): the first run's begin() and every sample are passed
// on to `inner`; its finish() is the caller's, after the last run.
class SharedObserver final : public RunObserver {
 public:
  explicit SharedObserver(RunObserver& inner) : inner_(&inner) {}
  void begin(const RunDescription& d) override {
    if (!begun_) inner_->begin(d);
    begun_ = true;
  }
  void sample(const OutputSample& s) override { inner_->sample(s); }

 private:
  RunObserver* inner_;
  bool begun_ = false;
};

}  // namespace box
