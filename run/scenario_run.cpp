#include "run/scenario_run.hpp"

namespace box {

ScenarioRun::ScenarioRun(Scenario scenario, std::shared_ptr<const LoadedMechanism> mechanism, SiteData site,
                         TextOutput& out, ScenarioRunOptions options)
    : scenario_(std::move(scenario)),
      mechanism_(std::move(mechanism)),
      site_(std::move(site)),
      out_(&out),
      options_(std::move(options)),
      all_days_(scenario_.spin_up.enabled && scenario_.spin_up.output_all) {}

void ScenarioRun::spin_up() {
  if (!scenario_.spin_up.enabled || spun_) return;
  // With output = "all" the writers are shared by the days and the run,
  // which stamp their samples with the day.
  std::vector<RunObserver*> observers;
  if (all_days_) {
    observers = options_.observers;
    if (options_.write_outputs)
      for (auto& w : scenario_writers(scenario_, mechanism_.get())) {
        shared_.push_back(std::make_unique<SharedObserver>(*w));
        writers_.push_back(std::move(w));
        observers.push_back(shared_.back().get());
      }
  }
  spun_ = box::spin_up(scenario_, *out_, observers, mechanism_, options_.after_spin_up_step);
}

Run& ScenarioRun::run() {
  if (run_) return *run_;
  // The days' writers are the run's too: it makes none of its own.
  run_.emplace(std::move(scenario_), *out_, std::move(site_), std::move(mechanism_),
               options_.write_outputs && !all_days_);
  for (RunObserver* o : options_.observers) run_->add_observer(*o);
  if (spun_) {
    run_->start_from(spun_->state);
    run_->set_spin_up_days(spun_->days);
    if (all_days_) run_->set_day(spun_->days + 1);
    for (auto& o : shared_) run_->add_observer(*o);
  }
  return *run_;
}

void ScenarioRun::finish() {
  for (auto& w : writers_) w->finish();
}

}  // namespace box
