#include "run/spin_up.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "run/session.hpp"

namespace box {

Scenario spin_up_day(const Scenario& scenario) {
  Scenario day = scenario;
  day.time.hours = 24.0;
  day.spin_up.enabled = false;
  day.output.formats.clear();
  day.output.progress_lines = false;
  day.output.budgets = false;
  day.output.photolysis = false;
  return day;
}

std::vector<std::pair<std::string, double>> changing_species(const std::array<double, nspec>& before,
                                                             const std::array<double, nspec>& after,
                                                             const std::vector<std::string>& species,
                                                             double tolerance) {
  constexpr double floor = 1e-6 * 1e-9;  // 1e-6 ppb, as a mole fraction
  std::vector<std::pair<std::string, double>> changing;
  for (int k = 1; k <= nvar; ++k) {
    const std::string name(species_name(k));
    const double a = before[at(k)], b = after[at(k)];
    if (species.empty() ? std::max(a, b) <= floor
                        : std::find(species.begin(), species.end(), name) == species.end())
      continue;
    const double change = a != 0.0 ? std::abs(b - a) / std::abs(a) : (b != 0.0 ? 1.0 : 0.0);
    if (!(change < tolerance)) changing.emplace_back(name, change);
  }
  std::stable_sort(changing.begin(), changing.end(),
                   [](const auto& l, const auto& r) { return l.second > r.second; });
  return changing;
}

namespace {

// The built-in mechanism's state of a run (the spin-up runs only it).
std::array<double, nspec> builtin_state(const Run& run) {
  const std::vector<double> x = run.mole_fractions();
  std::array<double, nspec> state{};
  std::copy(x.begin(), x.end(), state.begin());
  return state;
}

}  // namespace

SpinUpOutcome spin_up(const Scenario& scenario, TextOutput& out, const std::vector<RunObserver*>& shared) {
  const Scenario day = spin_up_day(scenario);
  const SiteData site = load_site(day);
  const SpinUpSettings& settings = scenario.spin_up;

  SpinUpOutcome outcome;
  std::optional<std::array<double, nspec>> state;
  while (outcome.days < settings.max_days) {
    Run run(day, out, site);
    if (state) run.start_from(*state);
    run.set_day(outcome.days + 1);
    for (RunObserver* o : shared) run.add_observer(*o);
    RunSession session(run);
    session.start();
    const std::array<double, nspec> before = builtin_state(run);
    RunSession* const one[] = {&session};
    step_together(one, nullptr);
    session.finish();
    ++outcome.days;
    outcome.state = builtin_state(run);
    state = outcome.state;
    outcome.changing = changing_species(before, outcome.state, settings.species, settings.tolerance);
    if (outcome.changing.empty()) {
      outcome.converged = true;
      break;
    }
  }
  return outcome;
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
