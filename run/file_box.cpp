#include "run/file_box.hpp"

#include <algorithm>
#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "budget/intervals.hpp"
#include "chemistry/builtin_photolysis.hpp"
#include "chemistry/photolysis.hpp"
#include "chemistry/unit_conversion.hpp"
#include "common/closest_names.hpp"
#include "common/errors.hpp"
#include "common/reciprocals.hpp"
#include "common/text.hpp"
#include "environment/humidity.hpp"
#include "environment/mcm_photolysis.hpp"
#include "output/csv_writer.hpp"
#include "output/diagnostics_writer.hpp"
#include "output/netcdf_writer.hpp"
#include "run/budget_recorder.hpp"
#include "run/initial_state.hpp"
#include "scenario/scenario.hpp"

namespace box {
namespace {

// [photolysis] method left unsaid: the MCM's parameterisation, except for
// a file whose channels all have the built-in mechanism's specified value
// and some no MCM parameters (the built-in mechanism as `boxmodel
// mechanism export` writes it, J<108> and the like), which runs on the
// specified table as the built-in mechanism does.
PhotolysisMethod file_photolysis_method(const Mechanism& m, const Scenario& s) {
  if (s.photolysis.method) return *s.photolysis.method;
  const PhotolysisRates overhead = overhead_sun_photolysis();
  bool beyond_mcm = false;
  for (int channel : m.photolysis_channels) {
    if (!specified_channel_frequency(overhead, channel)) return PhotolysisMethod::mcm;
    if (find_mcm_channel(channel) == nullptr) beyond_mcm = true;
  }
  return beyond_mcm ? PhotolysisMethod::specified : PhotolysisMethod::mcm;
}

// Where the photolysis method was chosen: its key, or, left unsaid, the key
// that named the mechanism file, whose channels chose it.
std::string method_chosen_at(const Scenario& s) {
  if (s.photolysis.method) return s.photolysis.method_source.describe();
  return s.chemistry.mechanism_source.describe();
}

PhotolysisSetup photolysis_setup(const Mechanism& m, const Scenario& s, double first_h, double last_h) {
  PhotolysisSetup p;
  p.method = file_photolysis_method(m, s);
  p.channels = m.photolysis_channels;
  p.channels_of = m.source;
  p.method_chosen_at = method_chosen_at(s);
  p.file = s.photolysis.series.get();
  p.file_named_at = s.photolysis.file_source.describe();
  // The file's frequencies and an observed J4 are interpolated as the
  // environment's series are, as for the built-in mechanism.
  p.interpolation = s.environment.interpolation;
  p.corrections.interpolation = s.environment.interpolation;
  p.corrections.factor = s.chemistry.photolysis_factor;
  p.corrections.cloud_correction = s.photolysis.cloud_correction;
  if (s.photolysis.observed_j4) p.corrections.observed_j4 = *s.photolysis.observed_j4;
  p.first_h = first_h;
  p.last_h = last_h;
  return p;
}

}  // namespace

std::string no_file_species(const Mechanism& m, std::string_view name) {
  const std::vector<std::string_view> names(m.species.begin(), m.species.end());
  return "no species \"" + std::string(name) + "\" in mechanism " + m.source + close_names_note(name, names);
}

int file_species(const Mechanism& m, std::string_view name, const std::string& where) {
  if (const auto k = m.find_species(name)) return *k + 1;
  throw ScenarioError(where + ": " + no_file_species(m, name));
}

namespace {

// The named coefficient of the supplied rate parameter `name` (matched
// exactly: the names are the mechanism's), or a ScenarioError at `where`
// with the mechanism's close names.
int rate_parameter(const Mechanism& m, std::string_view name, const std::string& where) {
  std::vector<std::string_view> names;
  for (std::size_t c = 0; c < m.coefficients.size(); ++c) {
    if (!m.coefficients[c].supplied) continue;
    if (m.coefficients[c].name == name) return static_cast<int>(c);
    names.emplace_back(m.coefficients[c].name);
  }
  std::string what = where + ": no rate parameter \"" + std::string(name) + "\" in mechanism " + m.source;
  if (names.empty()) what += " (it leaves none to the run)";
  else what += close_names_note(name, names);
  throw ScenarioError(what);
}

// Where a column of the rate parameters' time series is named.
std::string column_where(const RateParameterSettings& p, const TimeSeriesColumn& c) {
  return p.file_source.describe() + ": " + p.series->file + ": line 1: " + c.name;
}

}  // namespace

std::string unset_rate_parameters_note(const Scenario& s, const Mechanism& m) {
  const RateParameterSettings& p = s.rate_parameters;
  std::string unset;
  int count = 0;
  for (const NamedCoefficient& c : m.coefficients) {
    if (!c.supplied) continue;
    const bool constant = std::any_of(p.values.begin(), p.values.end(), [&](const RateParameter& v) { return v.name == c.name; });
    if (constant || (p.series && std::any_of(p.series->columns.begin(), p.series->columns.end(),
                                             [&](const TimeSeriesColumn& col) { return col.name == c.name; })))
      continue;
    unset += (count++ ? ", " : " ") + c.name;
  }
  if (count == 0) return "";
  return "note: " + s.source + ": rate_parameters: " + std::to_string(count) + " of mechanism " + m.source +
         " not set (they stay 0):" + unset;
}

void check_mechanism_scenario(const Scenario& s, const Mechanism& m) {
  const std::string& file = s.source;
  // Rate parameters by the mechanism's names (their values were checked
  // when read).
  for (const RateParameter& p : s.rate_parameters.values) (void)rate_parameter(m, p.name, p.source.describe());
  if (s.rate_parameters.series)
    for (const TimeSeriesColumn& c : s.rate_parameters.series->columns)
      (void)rate_parameter(m, c.name, column_where(s.rate_parameters, c));
  if (s.output.wants(OutputFormat::table))
    throw ScenarioError(file + ": output.formats: \"table\" is the built-in mechanism's species table; mechanism " +
                        m.source + " is written as \"csv\" or \"netcdf\"");
  // Species held to the records and the families' members by the file's
  // names (water is the box's own when the file has no H2O); the
  // observation file's columns are matched when it is read.
  for (const NamedSpecies& h : s.field.from_records)
    if (h.species != "H2O" || m.find_species(h.species)) (void)file_species(m, h.species, h.source.describe());
  for (const FamilyConstraint& f : s.field.families)
    for (const FamilyMember& member : f.members) (void)file_species(m, member.species, f.source.describe());
  // Emissions, deposition and background air by the file's names, each once.
  const auto names = [&](const std::vector<SpeciesSetting>& list) {
    std::vector<int> seen;
    for (const SpeciesSetting& v : list) {
      const int k = file_species(m, v.species, v.source.describe());
      if (std::find(seen.begin(), seen.end(), k) != seen.end())
        throw ScenarioError(v.source.describe() + ": " + v.species + " is given twice");
      seen.push_back(k);
      if (!(v.value >= 0.0) || !std::isfinite(v.value))
        throw ScenarioError(v.source.describe() + ": expected a value of 0 or more");
    }
  };
  names(s.field.exchange.emissions);
  names(s.field.exchange.deposition);
  names(s.field.exchange.background);
  names(s.field.exchange.wall_loss);
  for (const Injection& i : s.field.injections) (void)file_species(m, i.species, i.species_source.describe());
  for (const InitialValue& v : s.initial) {
    if (!m.find_species(v.name) && same_name(v.name, "H2O"))
      continue;  // the box's water, when the file has no H2O species
    (void)file_species(m, v.name, v.source.describe());
  }
  if (s.output.species.kind == SpeciesSelection::Kind::list)
    for (const std::string& name : s.output.species.names) (void)file_species(m, name, file + ": output.species");
  if (s.output.budgets) (void)file_budget_species(s, m);
  if (!s.output.families.empty()) (void)output_families(s.output.families, file, *catalogue_of(m));
  if (s.spin_up.enabled)
    for (const std::string& name : s.spin_up.species) (void)file_species(m, name, file + ": spin_up.species");
  for (const RateFactor& f : s.chemistry.rate_factors)
    if (f.reaction > m.reaction_count())
      throw ScenarioError(file + ": chemistry.rate_factors.R" + std::to_string(f.reaction) +
                          ": no reaction of that number in mechanism " + m.source + " (expected R1 to R" +
                          std::to_string(m.reaction_count()) + ")");
}

std::vector<std::string> file_budget_species(const Scenario& scenario, const Mechanism& m) {
  std::vector<std::string> out;
  const std::vector<std::string>& names = scenario.output.budget_species;
  if (names == OutputSettings{}.budget_species) {
    for (const char* name : {"O3", "NO", "NO2", "OH", "HO", "HO2", "BRO"})
      if (const auto k = m.find_species(name)) out.push_back(m.species[static_cast<std::size_t>(*k)]);
    return out;
  }
  for (const std::string& name : names)
    out.push_back(m.species[static_cast<std::size_t>(file_species(m, name, scenario.source + ": output.budget_species") - 1)]);
  return out;
}

FileBox::FileBox(std::shared_ptr<const LoadedMechanism> loaded, const Scenario& scenario, double first_h,
                 double last_h)
    : loaded_(std::move(loaded)),
      // A mechanism shared by an ensemble's members may carry machine code
      // that a member's [chemistry] kernels = "loops" declines.
      system_(loaded_->mechanism, loaded_->derivation,
              scenario.chemistry.machine_code() ? loaded_->native.get() : nullptr) {
  const Mechanism& m = loaded_->mechanism;
  options_.method = scenario.method_number();
  options_.rtol = scenario.chemistry.rtol;
  options_.atol = scenario.chemistry.atol;
  // The rate coefficients are frozen over a step unless the light follows
  // time (set_light_in_time): f then depends on t.
  options_.autonomous = true;
  for (const RateFactor& f : scenario.chemistry.rate_factors) rate_factors_.emplace_back(f.reaction, f.factor);
  system_.set_rate_factors(rate_factors_);
  // Rate parameters: the constants once, the series' at each step's start
  // (set_rate_parameters_at).
  const RateParameterSettings& p = scenario.rate_parameters;
  for (const RateParameter& v : p.values) parameters_.emplace_back(rate_parameter(m, v.name, v.source.describe()), v.value);
  if (p.series) {
    parameter_series_ = p.series;
    parameter_interpolation_ = scenario.environment.interpolation;
    for (const TimeSeriesColumn& c : p.series->columns) {
      parameter_columns_.push_back(&c);
      parameters_.emplace_back(rate_parameter(m, c.name, column_where(p, c)), c.at(first_h, parameter_interpolation_));
    }
  }
  system_.set_rate_parameters(parameters_);
  if (file_photolysis_method(m, scenario) == PhotolysisMethod::specified) {
    // The built-in mechanism's table, by the channels of its own file.
    for (int channel : m.photolysis_channels) {
      const std::optional<int> slot = specified_channel_slot(channel);
      if (!slot)
        throw InputError(method_chosen_at(scenario) + ": \"specified\" gives the built-in mechanism's "
                         "channels (those of boxmodel mechanism export); " + m.source + " reads J<" +
                         std::to_string(channel) + ">, which it has not");
      specified_slots_.push_back(*slot);
    }
  } else {
    light_.emplace(photolysis_setup(m, scenario, first_h, last_h));
  }
  const auto n = static_cast<std::size_t>(species_count());
  // The open box in the mechanism's units: E / H and v_d / H with H in cm.
  const ExchangeSettings& e = scenario.field.exchange;
  const double height_cm = e.mixing_height_m.value_or(1000.0) * 100.0;
  FileExchange& x = exchange_;
  x.emission.assign(n, 0.0);
  x.deposition.assign(n, 0.0);
  x.background.assign(n, 0.0);
  source_.assign(n, 0.0);
  loss_.assign(n, 0.0);
  const auto index = [&](const SpeciesSetting& v) { return static_cast<std::size_t>(*m.find_species(v.species)); };
  for (const SpeciesSetting& v : e.emissions) x.emission[index(v)] = v.value / height_cm;
  for (const SpeciesSetting& v : e.deposition) x.deposition[index(v)] = v.value / height_cm;
  for (const SpeciesSetting& v : e.background) x.background[index(v)] = v.value / 1e9;
  x.dilution = e.dilution_per_s;
  x.wall.assign(n, e.wall_default);
  for (const SpeciesSetting& v : e.wall_loss) x.wall[index(v)] = v.value;
  x.sampling = e.sampling_per_s;
  open_ = !e.emissions.empty() || !e.deposition.empty() || x.dilution != 0.0 || e.walls();
  for (int k = 0; k < static_cast<int>(n); ++k) {
    const auto i = static_cast<std::size_t>(k);
    add_exchange_processes(k, x.emission[i] != 0.0, x.deposition[i] != 0.0, x.dilution, x.wall[i] != 0.0, x.sampling,
                           x.processes);
  }
  x_.assign(n, 0.0);
  y_.assign(n, 0.0);
  f_.assign(n, 0.0);
  j_.assign(m.photolysis_channels.size(), 0.0);
}

void FileBox::hold(const std::vector<int>& species) {
  const MechanismDerivation& d = loaded_->derivation;
  exchange_.held.clear();
  exchange_.held_entries.clear();
  for (const int k : species) {
    if (k < 1 || k > d.n) continue;
    exchange_.held.push_back(k - 1);
    const auto row = static_cast<std::size_t>(d.position[static_cast<std::size_t>(k - 1)]);
    for (int p = d.row_start[row]; p < d.row_start[row + 1]; ++p) exchange_.held_entries.push_back(static_cast<std::size_t>(p));
  }
  if (!exchange_.held.empty()) open_ = true;
}

void FileBox::start() {
  std::fill(x_.begin(), x_.end(), 0.0);
  h2o_ = surface_humidity().mixing_ratio;
}

double FileBox::moisture() const { return h2o_ * 18.0 * moles_per_gram_air; }

void FileBox::set_light(const LightAt& light) {
  light_->evaluate(light, j_);
  step_start_s_ = light.time_h * 3600.0;
}

void FileBox::set_light_in_time(LightOfTime light) {
  light_of_time_ = std::move(light);
  const bool follows = light_of_time_ && light_ &&
                       (light_->method() == PhotolysisMethod::mcm || light_->method() == PhotolysisMethod::file);
  if (!follows) {
    system_.set_time_dependent_photolysis({});
    return;
  }
  // The integrator's time is seconds of the run's clock.
  system_.set_time_dependent_photolysis(
      [this](double seconds, std::span<double> j) { light_->evaluate(light_of_time_(seconds / 3600.0), j); });
}

void FileBox::set_rate_parameters_at(double time_h) {
  if (parameter_columns_.empty()) return;
  // The series' columns follow the constants in parameters_.
  const std::size_t first = parameters_.size() - parameter_columns_.size();
  for (std::size_t c = 0; c < parameter_columns_.size(); ++c)
    parameters_[first + c].second = parameter_columns_[c]->at(time_h, parameter_interpolation_);
  system_.set_rate_parameters(parameters_);
}

void FileBox::set_specified_light(const PhotolysisRates& rates) {
  for (std::size_t s = 0; s < specified_slots_.size(); ++s)
    j_[s] = specified_slots_[s] != 0 ? rates[at(specified_slots_[s])] : 0.0;
}

const std::vector<double>& FileBox::coefficients_now(const MechanismAir& now, std::vector<double>& c) const {
  c.resize(x_.size());
  for (std::size_t k = 0; k < x_.size(); ++k) c[k] = x_[k] * now.m;
  if (!sample_rates_) {
    sample_rates_.emplace(loaded_->mechanism);
    sample_rates_->set_rate_factors(rate_factors_);
  }
  sample_rates_->set_parameters(parameters_);
  // Under held traps: a coefficient that is no number is the next step's
  // error, said there with its reaction and line; until then it reads as
  // NaN here, never as a plausible number.
  std::fenv_t env;
  std::feholdexcept(&env);
  sample_rates_->set_conditions(now, j_);
  if (sample_rates_->has_ro2_terms()) sample_rates_->update_ro2(c.data());
  sample_k_ = sample_rates_->k();
  for (double& k : sample_k_)
    if (!(k >= 0.0) || !std::isfinite(k)) k = std::numeric_limits<double>::quiet_NaN();
  std::fesetenv(&env);
  return sample_k_;
}

void FileBox::check_rates(const MechanismAir& a) {
  for (std::size_t k = 0; k < x_.size(); ++k) y_[k] = std::max(x_[k], 0.0) * a.m;
  set_checked_rates(a);
}

void FileBox::set_checked_rates(const MechanismAir& air) {
  if (!checked_) {
    // A bad expression (the logarithm of a negative number, a division by
    // zero) is the file's fault: said with its reaction and line, not as a
    // trapped floating-point exception. The traps are held while the
    // coefficients are first evaluated (the RO2 parts follow the
    // concentrations: an evaluation of f sets them, at the step's start
    // when the light follows time), and restored with the flags as they
    // were.
    std::fenv_t env;
    std::feholdexcept(&env);
    system_.set_conditions(air, j_);
    system_.fun(step_begins(), y_.data(), f_.data());
    std::fesetenv(&env);
    checked_ = true;
  } else {
    system_.set_conditions(air, j_);
  }
  const int bad = system_.rates().first_bad_reaction();
  if (bad < 0) return;
  const Mechanism& m = loaded_->mechanism;
  const RuntimeReaction& r = m.reactions[static_cast<std::size_t>(bad)];
  char value[48];
  const double k = system_.rates().k()[static_cast<std::size_t>(bad)];
  if (std::isnan(k)) std::snprintf(value, sizeof value, "not a number");
  else std::snprintf(value, sizeof value, "%.6g", k);
  char where[96];
  std::snprintf(where, sizeof where, "%.2f K, M = %.4g molecules cm-3", air.temp, air.m);
  throw InputError(m.source + ": line " + std::to_string(r.line) + ": reaction " + std::to_string(bad + 1) + " (" +
                   m.equation(bad) + "): its rate " + r.rate_text + " is " + value + " at " + where +
                   "; expected a finite number of 0 or more");
}

// With the light following time the system is non-autonomous, on the
// run's clock; otherwise each step is [0, dt] with frozen coefficients.
double FileBox::step_begins() const { return system_.time_dependent() ? step_start_s_ : 0.0; }

IntegratorOptions FileBox::step_options(double dt) const {
  IntegratorOptions o = options_;
  o.hstart = dt * 0.01;
  o.autonomous = !system_.time_dependent();
  return o;
}

double FileBox::prepare_step(const MechanismAir& a, FileStepBudget* budget) {
  const double c_m = a.m;
  for (std::size_t k = 0; k < x_.size(); ++k) y_[k] = std::max(x_[k], 0.0) * c_m;
  if (budget != nullptr) {
    budget->clipping.assign(x_.size(), 0.0);
    for (std::size_t k = 0; k < x_.size(); ++k) budget->clipping[k] = (std::max(x_[k], 0.0) - x_[k]) * 1e9;
  }
  set_checked_rates(a);
  if (open_) {
    const FileExchange& x = exchange_;
    for (std::size_t k = 0; k < y_.size(); ++k) {
      source_[k] = x.emission[k] * emission_factor_ + x.dilution * (x.background[k] * c_m);
      loss_[k] = x.deposition[k] + x.dilution;
      if (x.wall[k] != 0.0 || x.sampling != 0.0) loss_[k] = loss_[k] + x.wall[k] + x.sampling;
    }
    exchange_.emission_factor = emission_factor_;
    exchange_.air = c_m;
  }
  return c_m;
}

void FileBox::take_step(double c_m, FileStepBudget* budget) {
  const double inverse = 1.0 / c_m;
  for (std::size_t k = 0; k < x_.size(); ++k) x_[k] = std::max(y_[k], 0.0) * inverse;
  if (budget != nullptr) {
    for (std::size_t k = 0; k < x_.size(); ++k) budget->clipping[k] += (std::max(y_[k], 0.0) - y_[k]) * inverse * 1e9;
    const std::span<const double> z = processes_.values();
    budget->process.resize(z.size());
    for (std::size_t n = 0; n < z.size(); ++n) budget->process[n] = z[n] * inverse * 1e9;
  }
}

StepResult FileBox::advance(double dt, const MechanismAir& air, FileStepBudget* budget) {
  const double c_m = prepare_step(air, budget);
  const IntegratorOptions o = step_options(dt);
  const double t0 = step_begins();
  IntegrationResult result;
  ProcessIntegrals* processes = nullptr;
  if (budget != nullptr) {
    processes_.clear();
    processes = &processes_;
  }
  if (open_) result = open_integrator_.integrate(open_system_, t0, t0 + dt, y_.data(), o, processes);
  else result = integrator_.integrate(system_, t0, t0 + dt, y_.data(), o, processes);
  take_step(c_m, budget);
  return {result.status, result.counters};
}

LaneBox FileBox::begin_lanes(double dt, const MechanismAir& air) {
  lane_air_ = prepare_step(air, nullptr);
  const IntegratorOptions o = step_options(dt);
  const double t0 = step_begins();
  lane_icntrl_ = o.int_controls();
  lane_rcntrl_ = o.real_controls();
  // The scalar tolerances over every component, as the one-box
  // integrator spreads them.
  lane_atol_.assign(y_.size(), o.atol);
  lane_rtol_.assign(y_.size(), o.rtol);
  LaneBox box;
  box.var = y_.data();
  box.tstart = t0;
  box.tend = t0 + dt;
  box.atol = lane_atol_.data();
  box.rtol = lane_rtol_.data();
  box.icntrl = &lane_icntrl_;
  box.rcntrl = &lane_rcntrl_;
  return box;
}

StepResult FileBox::finish_lanes(const RosenbrockCounters& counters) {
  take_step(lane_air_, nullptr);
  return {ros_success, counters};
}

}  // namespace box
