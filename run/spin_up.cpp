#include "run/spin_up.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "common/errors.hpp"
#include "common/text.hpp"
#include "mechanism/parameters.hpp"
#include "output/sample_writers.hpp"
#include "run/session.hpp"

namespace box {

Scenario spin_up_day(const Scenario& scenario) {
  Scenario day = scenario;
  day.time.hours = 24.0;
  day.spin_up.enabled = false;
  day.output.formats.clear();
  day.output.progress_lines = false;
  day.output.budgets = false;
  // Diagnostics and photolysis stay: with output = "all" the days' samples
  // carry them to the writers the days share with the run.
  return day;
}

std::vector<std::pair<std::string, double>> changing_species(const std::vector<double>& before,
                                                             const std::vector<double>& after,
                                                             const std::vector<std::string>& names,
                                                             const std::vector<std::string>& species,
                                                             double tolerance) {
  constexpr double floor = 1e-6 * 1e-9;  // 1e-6 ppb, as a mole fraction
  std::vector<std::pair<std::string, double>> changing;
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::string& name = names[k];
    const double a = before.at(k), b = after.at(k);
    if (species.empty() ? std::max(a, b) <= floor
                        : std::none_of(species.begin(), species.end(),
                                       [&](const std::string& s) { return same_name(s, name); }))
      continue;
    const double change = a != 0.0 ? std::abs(b - a) / std::abs(a) : (b != 0.0 ? 1.0 : 0.0);
    if (!(change < tolerance)) changing.emplace_back(name, change);
  }
  std::stable_sort(changing.begin(), changing.end(),
                   [](const auto& l, const auto& r) { return l.second > r.second; });
  return changing;
}

SpinUpOutcome spin_up(const Scenario& scenario, TextOutput& out, const std::vector<RunObserver*>& shared,
                      std::shared_ptr<const LoadedMechanism> mechanism,
                      const std::function<void(int, const Run&)>& after_step) {
  const Scenario day = spin_up_day(scenario);
  const SiteData site = [&] {
    try {
      return load_site(day);
    } catch (const InputError& e) {
      // A run shorter than a day reads fewer records than its spin-up.
      throw InputError(std::string(e.what()) + " ([spin_up] repeats the run's first 24 hours, " +
                       "so the site records must cover them)");
    }
  }();
  const SpinUpSettings& settings = scenario.spin_up;

  SpinUpOutcome outcome;
  while (outcome.days < settings.max_days) {
    // Each day is a run of its own from the scenario's start: the clock,
    // the records, the time series, the observations and the emission
    // profile all begin again at day 1's start; only the state goes on.
    // No writers of its own: a day writes only through `shared` (output =
    // "all"), and diagnostics.csv, which the day still computes for them,
    // would otherwise be written by both.
    Run run(day, out, site, mechanism, false);
    if (!outcome.state.empty()) run.start_from(outcome.state);
    const int number = outcome.days + 1;
    run.set_day(number);
    for (RunObserver* o : shared) run.add_observer(*o);
    RunSession session(run);
    if (after_step) session.set_after_step([&](const Run& r) { after_step(number, r); });
    session.start();
    // The integrated species: the built-in mechanism's first nvar, every
    // species of a file.
    std::vector<std::string> names = run.species_names();
    if (run.file_box() == nullptr) names.resize(nvar);
    const std::vector<double> before = run.mole_fractions();
    RunSession* const one[] = {&session};
    step_together(one, nullptr);
    session.finish();
    ++outcome.days;
    outcome.state = run.mole_fractions();
    outcome.changing = changing_species(before, outcome.state, names, settings.species, settings.tolerance);
    if (outcome.changing.empty()) {
      outcome.converged = true;
      break;
    }
  }
  return outcome;
}

std::vector<std::unique_ptr<RunObserver>> scenario_writers(const Scenario& scenario,
                                                           const LoadedMechanism* mechanism) {
  return sample_writers(scenario, catalogue(mechanism));
}

std::string not_converged_message(const Scenario& scenario, const SpinUpOutcome& outcome) {
  std::string list;
  std::size_t shown = 0;
  for (const auto& [name, change] : outcome.changing) {
    if (shown++ == 10) {
      list += ", and " + std::to_string(outcome.changing.size() - 10) + " more";
      break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s by %.3g", name.c_str(), change);
    list += (list.empty() ? "" : ", ") + std::string(text);
  }
  char tolerance[32];
  std::snprintf(tolerance, sizeof tolerance, "%g", scenario.spin_up.tolerance);
  return scenario.source + ": [spin_up] not converged after max_days = " + std::to_string(outcome.days) +
         " days: from the day before to the last day " + std::to_string(outcome.changing.size()) +
         " species still changed by more than the tolerance " + tolerance + " (relative): " + list +
         "; the run went on from the last day's state and its outputs are complete";
}

}  // namespace box
