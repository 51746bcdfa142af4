#pragma once
// A checked scenario, its mechanism and its site, from the spin-up to the
// run: the one way the program, Python's run and an ensemble's members
// build the run of a scenario. Stepping it is the caller's (a RunSession
// alone, or sessions together in the lanes).
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "run/run.hpp"
#include "run/spin_up.hpp"

namespace box {

struct ScenarioRunOptions {
  // The scenario's own files (false: none, whatever its formats say).
  bool write_outputs = true;
  // Sample observers of the run; with [spin_up] output = "all", of every
  // day too (each day's begin() and samples, then the run's).
  std::vector<RunObserver*> observers;
  // Sees each spin-up day (1, 2, ...) after each of its steps.
  std::function<void(int, const Run&)> after_spin_up_step;
};

class ScenarioRun {
 public:
  // `mechanism`: the scenario's mechanism file read once (null: the
  // built-in mechanism, or a file the run reads itself).
  ScenarioRun(Scenario scenario, std::shared_ptr<const LoadedMechanism> mechanism, SiteData site, TextOutput& out,
              ScenarioRunOptions options = {});

  // The spin-up's days, where the scenario asks for them (else nothing);
  // throws as a run does.
  void spin_up();
  const std::optional<SpinUpOutcome>& spun() const { return spun_; }

  // The run, from the spun-up state when there was a spin-up; made once.
  Run& run();

  // After the run: closes the files the days and the run shared.
  void finish();

 private:
  Scenario scenario_;
  std::shared_ptr<const LoadedMechanism> mechanism_;
  std::optional<SiteData> site_;
  TextOutput* out_;
  ScenarioRunOptions options_;
  bool all_days_ = false;
  std::optional<SpinUpOutcome> spun_;
  std::vector<std::unique_ptr<RunObserver>> writers_;
  std::vector<std::unique_ptr<SharedObserver>> shared_;
  std::optional<Run> run_;
};

}  // namespace box
