#include "run/run.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <span>
#include <string_view>
#include <utility>

#include "chemistry/unit_conversion.hpp"
#include "common/errors.hpp"
#include "common/format.hpp"
#include "common/one_based.hpp"
#include "common/text.hpp"
#include "common/version.hpp"
#include "environment/calendar.hpp"
#include "environment/humidity.hpp"
#include "mechanism/reaction_table.hpp"
#include "output/model_outputs.hpp"
#include "output/sample_writers.hpp"
#include "run/session.hpp"
#include "scenario/scenario_file.hpp"

namespace box {
namespace {

constexpr double r_dry_air = 287.058;  // specific gas constant of dry air, J kg-1 K-1

// The light at local time `time_h` of the current step: the sun at that
// time and, for the cloud correction, the hour's observed radiation over
// the clear-sky radiation of that sun, the ratio the progress lines print
// at each step's start. Where the sun is too low for the ratio to mean
// anything (cos zenith <= 0.01) the step's own ratio holds, as in the
// progress lines.
LightAt light_at(const RunSun& sun, double time_h, bool cloud_correction, double averad, double step_ratio) {
  const SunPosition p = sun.position_at(time_h);
  return {.time_h = time_h,
          .cos_zenith = p.coszen,
          .clear_sky_ratio = cloud_correction ? clear_sky_ratio(p, averad, step_ratio) : 1.0};
}


// The sun over the scenario's site. A site by keys counts the calendar's
// true days; a parameter file's day keeps the orbital formulas' 365-day
// years (the model's own day and every result stored from a parameter file
// were made with them).
RunSun site_sun(const Scenario& scenario, const SiteParameters& p) {
  if (scenario.site.by_keys()) {
    const CalendarDay& d = *scenario.site.date;
    return RunSun::on_calendar(p.xlat, p.xlong, p.stdlng, Date{d.year, d.month, d.day});
  }
  return RunSun(p.xlat, p.xlong, p.stdlng, p.iyear, p.jday);
}

}  // namespace

namespace {

// The specified table's slots by the molecule and channel they photolyse.
std::string specified_slot_name(int slot) {
  static constexpr const char* names[] = {
      "o31d",   "o33p",   "no2",      "no3o2",      "no3o",    "hno2",    "hno3",   "hno4",    "h2o2",
      "ch2or",  "ch2om",  "ch3cho",   "ch3coch3",   "ch3coc2h5", "hcocho", "ch3cocho", "hcochest", "ch3o2h",
      "ch3coo2h", "ch3ono2", "hcochob", "macr",    "hobr",    "br2",     "bro"};
  return "j_" + std::string(names[slot - 1]);
}

}  // namespace

bool reads_site_records(const Scenario& scenario) { return scenario.reads_site_records(); }

SiteData load_site(const Scenario& scenario, const std::function<void(const std::string&)>& warn) {
  // The site by keys reads no records unless [site] records names them:
  // the air must then come from [environment].
  if (scenario.site.by_keys() && !scenario.site.records_given)
    for (const auto& [name, what] : {std::pair{"temperature_K", "temperature"}, std::pair{"pressure_Pa", "pressure"}})
      if (!scenario.environment.names(name))
        throw InputError(scenario.source + ": [environment]: the air's " + what + " is not given: set [environment] " +
                         name + ", a " + name + " column of [environment] file, or [site] records");
  SiteData data;
  if (scenario.site.by_keys()) {
    // The site by keys: no parameter file.
    const SunSite sun = scenario.site.sun();
    data.parameters.xlat = sun.xlat;
    data.parameters.xlong = sun.xlong;
    data.parameters.stdlng = sun.stdlng;
    data.parameters.iyear = sun.iyear;
    data.parameters.jday = sun.jday;
  } else {
    const std::string parameters_name = scenario.site.parameters.generic_string();
    data.parameters = read_parameter_file(scenario.site.parameters, parameters_name, true);
  }
  if (!reads_site_records(scenario)) {
    // [environment] gives the air; the keys that would read the records
    // were refused with the scenario. A mechanism file's field terms are
    // prepared by its run (Run::start).
    if (scenario.field.open() && scenario.chemistry.builtin_mechanism()) {
      data.field = prepare_field(scenario, data.records);
      if (warn)
        for (const std::string& note : data.field->notes) warn(note);
    }
    if (scenario.field.open() && scenario.field.emission_profile == EmissionProfile::daylight) {
      require_daylight(site_sun(scenario, data.parameters).mean_cosine(), scenario.field.emission_profile_source);
    }
    return data;
  }

  const std::string name = scenario.site.records.generic_string();
  SiteFile site = SiteFile::open(scenario.site.records, name);
  site.skip_header();
  const int needed = scenario.records_needed();
  data.records.reserve(static_cast<std::size_t>(needed));
  for (int k = 1; k <= needed; ++k) {
    SiteRecord r = site.next();
    const RecordLayout where = site.last_layout();
    if (scenario.site.records_layout == RecordsLayout::lines) {
      const auto fail = [&](const std::string& what) {
        throw InputError(name + ": line " + std::to_string(where.first_line) + ": record " +
                         std::to_string(k) + ": " + what +
                         " (a record is one line of 13 values; [site] records_layout = \"free\" "
                         "reads records that span lines)");
      };
      if (where.last_line != where.first_line)
        fail("expected 13 values on the line, found " + std::to_string(where.values_on_first_line));
      if (where.values_left) fail("expected 13 values on the line, found more");
    } else if (warn) {
      if (auto w = layout_warning(name, where, k)) warn(*w);
    }
    check_record_values(r, where, k, name);
    data.records.push_back(r);
  }
  if (scenario.field.open()) {
    // Species held to the records are interpolated into the run's last
    // hour from the record after it, where the file has one.
    const bool family_from_records = std::any_of(scenario.field.families.begin(), scenario.field.families.end(),
                                                 [](const FamilyConstraint& f) { return f.from_records; });
    if (!scenario.field.from_records.empty() || family_from_records) {
      try {
        const SiteRecord r = site.next();
        check_record_values(r, site.last_layout(), needed + 1, name);
        data.records.push_back(r);
      } catch (const InputError&) {
        // No further record: the last one holds.
      }
    }
    // A mechanism file's open box is set up by its box (run/file_box.hpp),
    // its species held by its run (Run::start).
    if (scenario.chemistry.builtin_mechanism()) {
      data.field = prepare_field(scenario, data.records);
      if (warn)
        for (const std::string& note : data.field->notes) warn(note);
    }
    if (scenario.field.emission_profile == EmissionProfile::daylight) {
      require_daylight(site_sun(scenario, data.parameters).mean_cosine(), scenario.field.emission_profile_source);
    }
  }
  return data;
}

StepSettings step_settings(const Scenario& scenario) {
  StepSettings s;
  s.method = scenario.method_number();
  s.atol = scenario.chemistry.atol;
  s.rtol = scenario.chemistry.rtol;
  for (const RateFactor& f : scenario.chemistry.rate_factors) s.rate_factors.emplace_back(f.reaction, f.factor);
  return s;
}

Run::Run(Scenario scenario, TextOutput& out, std::optional<SiteData> site,
         std::shared_ptr<const LoadedMechanism> mechanism, bool format_writers)
    : scenario_(std::move(scenario)),
      out_(out),
      preloaded_(std::move(site)),
      box_(out.line_sink(), step_settings(scenario_)) {
  if (!scenario_.chemistry.builtin_mechanism()) {
    if (!mechanism) mechanism = load_mechanism(*scenario_.chemistry.mechanism_file, scenario_.chemistry.machine_code());
    check_mechanism_scenario(scenario_, mechanism->mechanism);
    file_ = std::make_unique<FileBox>(std::move(mechanism), scenario_, scenario_.first_input_hour(),
                                      scenario_.last_input_hour());
  }
  add_format_observers(format_writers);
}

namespace {

// The model's own day with its inputs in `dir`, read as the run goes and
// named in messages by their file names alone.
Scenario model_day(const std::filesystem::path& dir) {
  Scenario s = default_scenario();
  s.site.parameters = dir / parameter_file_name;
  s.site.records = dir / site_file_name;
  s.site.records_layout = RecordsLayout::free;
  s.output.dir = dir;
  s.check_inputs_first = false;
  return s;
}

}  // namespace

Run::Run(std::filesystem::path dir, TextOutput& out, StepSettings settings)
    : scenario_(model_day(dir)), out_(out), box_(out.line_sink(), std::move(settings)) {
  add_format_observers();
}

Run::~Run() = default;

StepView Run::view() const {
  return {.steps_done = clock_.steps_done(),
          .total_steps = clock_.total_steps(),
          .timloc = clock_.local_time(),
          .timin = timin_,
          .averad = averad_,
          .coszen = coszen_,
          .ratiod = ratiod_,
          .temperature = tt_,
          .pressure = pp_,
          .air_density = rho_phy_,
          .moisture = moist_,
          .photoj = box_.photoj(),
          .photolysis = box_.photolysis(),
          .vc = box_.vc(),
          .solar = sun_.state(),
          .species_names = file_ ? std::span<const std::string>(file_->mechanism().species)
                                 : std::span<const std::string>{},
          .mole_fractions = file_ ? std::span<const double>(file_->mole_fractions()) : std::span<const double>{},
          .out = out_};
}

void Run::add_format_observers(bool writers) {
  const OutputSettings& o = scenario_.output;
  if (file_) {
    // The species table is the built-in mechanism's; a file's progress
    // lines show its own key species.
    if (o.progress_lines) {
      owned_step_observers_.push_back(std::make_unique<MechanismProgressLines>(file_->mechanism().species));
      step_observers_.push_back(owned_step_observers_.back().get());
    }
    if (writers)
      for (auto& writer : sample_writers(scenario_, catalogue())) add_observer(std::move(writer));
    return;
  }
  if (o.progress_lines) owned_step_observers_.push_back(std::make_unique<ProgressLines>());
  if (o.wants(OutputFormat::table)) owned_step_observers_.push_back(std::make_unique<SpeciesTable>(o.dir, scenario_.check_inputs_first));
  for (auto& observer : owned_step_observers_) step_observers_.push_back(observer.get());
  if (writers)
    for (auto& writer : sample_writers(scenario_, catalogue())) add_observer(std::move(writer));
}

void Run::add_observer(std::unique_ptr<RunObserver> observer) {
  sample_observers_.push_back(observer.get());
  owned_observers_.push_back(std::move(observer));
}

void Run::start() {
  set_up_photolysis();
  for (StepObserver* o : step_observers_) o->starting(view());

  clock_ = RunClock(scenario_.time.start_hour, scenario_.time.step_seconds, scenario_.total_steps());

  if (!preloaded_ && scenario_.check_inputs_first) preloaded_ = load_site(scenario_);
  reads_records_ = !preloaded_ || reads_site_records(scenario_);
  if (preloaded_) {
    records_.use(preloaded_->records);
    parameters_ = preloaded_->parameters;
    // A mechanism file's species held to observations: found in the file,
    // and kept from moving within the steps by its box.
    if (file_ && scenario_.field.constrained()) {
      preloaded_->field = prepare_field(scenario_, preloaded_->records, &file_->mechanism());
      if (warn_)
        for (const std::string& note : preloaded_->field->notes) warn_(note);
      file_->hold(preloaded_->field->held);
      const auto n = static_cast<std::size_t>(file_->species_count());
      file_held_ = std::make_unique<bool[]>(n);
      for (int k : preloaded_->field->held)
        if (static_cast<std::size_t>(k) <= n) file_held_[static_cast<std::size_t>(k - 1)] = true;
    }
    if (preloaded_->field) {
      field_ = &*preloaded_->field;
      constraints_ = Constraints(field_);
      if (!file_) box_.chemistry().set_open_box(field_->box);
    }
  } else {
    records_.open(scenario_);
    parameters_ = read_parameter_file(scenario_.site.parameters,
                                      scenario_.site.parameters.filename().string(), false);
  }

  // The initial state: site and day, the sun's constants, the air.
  sun_ = site_sun(scenario_, parameters_);
  if (file_) {
    start_file_box();
    // The light within a step (methods mcm and file): the sun at each time
    // the integrator evaluates the system, and its cloud ratio at that time.
    file_->set_light_in_time([this](double time_h) {
      return light_at(sun_, time_h, scenario_.photolysis.cloud_correction, averad_, ratiod_);
    });
  } else {
    box_.start(scenario_.chemistry.photolysis_factor);
    if (scenario_.field.initial_from_first_record && preloaded_) {
      const SiteRecord& r = preloaded_->records.front();
      const std::pair<int, double> observed[] = {{ind_o3, r.ozone_read}, {ind_no, r.no_read},
                                                 {ind_no2, r.no2_read}, {ind_co, r.co_read},
                                                 {ind_hcho, r.hcho_read}};
      for (const auto& [species, ppb] : observed) box_.set_mole_fraction(species, ppb / 1e9);
    }
    const double unit = initial_unit();
    for (const InitialValue& v : scenario_.initial) box_.set_mole_fraction(v.species, v.ppb / unit);
    if (start_state_)
      for (int k = 1; k <= nspec; ++k)
        if (k != ind_m) box_.set_mole_fraction(k, start_state_->at(at(k)));
  }
  if (warn_) write_notes();

  plan_injections();
  if (scenario_.output.budgets && file_) {
    const Mechanism& m = file_->mechanism();
    std::shared_ptr<const MechanismCatalogue> reactions = file_->loaded().catalogue;
    budget::Families families = output_families(scenario_.output.families, scenario_.source, *reactions);
    budgets_.emplace(scenario_.output.dir, file_budget_species(scenario_, m), &file_->exchange_processes(),
                     std::move(families), std::move(reactions), injected_species_);
    add_observer(budgets_->take_observer());
  } else if (scenario_.output.budgets) {
    budgets_.emplace(scenario_.output.dir, scenario_.output.budget_species, box_.chemistry().exchange_processes(),
                     output_families(scenario_.output.families, scenario_.source), builtin_catalogue(),
                     injected_species_);
    add_observer(budgets_->take_observer());
  }
  if (scenario_.output.diagnostics && file_) diagnostics_.emplace(file_->mechanism());
  else if (scenario_.output.diagnostics) diagnostics_.emplace(step_settings(scenario_).rate_factors);
  for (StepObserver* o : step_observers_) o->started(view());
  {
    RunDescription& d = description_;
    d.year = parameters_.iyear;
    d.day_of_year = parameters_.jday;
    d.start_hour = scenario_.time.start_hour;
    d.step_seconds = scenario_.time.step_seconds;
    d.hours = scenario_.time.hours;
    // The record of every key is for the NetCDF files; formatting it costs
    // as much as a tenth of a short run's chemistry.
    if (scenario_.output.wants(OutputFormat::netcdf)) d.scenario = describe_scenario(scenario_);
    d.program_version = program_version();
    d.kernels = kernels_record(file_ ? &file_->loaded() : nullptr, file_ && file_->system().machine_code());
    if (scenario_.site.by_keys()) {
      d.utc_offset_hours = scenario_.site.utc_offset_hours;
      d.latitude = *scenario_.site.latitude;
      d.longitude_east = *scenario_.site.longitude_east;
    }
    if (scenario_.output.photolysis) {
      if (file_) {
        // A mechanism file's channels, whatever the method.
        for (int n : file_->mechanism().photolysis_channels) d.photolysis_channels.push_back("J" + std::to_string(n));
      } else if (frequencies_) {
        for (int n : builtin_mcm_channels) d.photolysis_channels.push_back("J" + std::to_string(n));
      } else {
        for (const BuiltinChannel& c : builtin_channel_map()) d.photolysis_channels.push_back(specified_slot_name(c.slot));
      }
    }
    // A mechanism file's outputs begin once its first step's rates are
    // known to be good (begin_step()): a bad one leaves nothing written.
    if (!file_) begin_outputs();
  }
  started_ = true;
}

SiteRecord Run::take_record() {
  const SiteRecord r = records_.next(warn_);
  timin_ = r.timin;
  tt_ = r.tt;
  pp_ = r.pp;
  averad_ = r.observed_radiation;
  return r;
}

// Species held to observations take their observed value at the start of
// every step (and at the end of the run, for its last output).
void Run::hold_observed(double time_h) {
  if (!constraints_.active()) return;
  const std::vector<double> before = budgets_ ? mole_fractions() : std::vector<double>{};
  std::vector<int> free;
  const auto release = [&](int species) { free.push_back(species); };
  if (file_) {
    // Water is the box's (and the file's H2O species', if it has one).
    const int n = file_->species_count();
    constraints_.hold(
        time_h,
        [&](int species, double x) {
          if (species == field_->water) file_->set_water(x);
          if (species <= n) file_->set_mole_fraction(species, x);
        },
        [&](int species) { return file_->mole_fractions()[static_cast<std::size_t>(species - 1)]; }, release);
  } else {
    constraints_.hold(
        time_h, [&](int species, double x) { box_.set_mole_fraction(species, x); },
        [&](int species) { return box_.mole_fraction(species); }, release);
  }
  if (free != free_) {
    free_ = std::move(free);
    hold_all_but_free();
  }
  // What the holding changed belongs to the interval that ends here (the
  // state at the first step is the initial state).
  if (budgets_ && clock_.steps_done() > 0) {
    const std::vector<double> after = mole_fractions();
    std::vector<double> reset(file_ ? after.size() : static_cast<std::size_t>(nvar));
    for (std::size_t k = 0; k < reset.size(); ++k) reset[k] = (after[k] - before[k]) * 1e9;
    budgets_->add_constraint(reset);
  }
}

void Run::hold_all_but_free() {
  const auto runs_free = [&](int k) { return std::find(free_.begin(), free_.end(), k) != free_.end(); };
  if (file_) {
    std::vector<int> held;
    for (const int k : field_->held)
      if (!runs_free(k)) held.push_back(k);
    file_->hold(held);
    const auto n = static_cast<std::size_t>(file_->species_count());
    std::fill(file_held_.get(), file_held_.get() + n, false);
    for (const int k : held)
      if (static_cast<std::size_t>(k) <= n) file_held_[static_cast<std::size_t>(k - 1)] = true;
    return;
  }
  std::array<bool, nvar> held = field_->box.held;
  for (const int k : free_)
    if (k >= 1 && k <= nvar) held[at(k)] = false;
  box_.chemistry().set_held(held);
}

std::vector<double> Run::mole_fractions() const {
  if (file_) return file_->mole_fractions();
  const std::array<double, nspec> x = box_.mole_fractions();
  return {x.begin(), x.end()};
}

std::vector<std::string> Run::species_names() const { return catalogue().species; }

const MechanismCatalogue& Run::catalogue() const { return box::catalogue(file_ ? &file_->loaded() : nullptr); }

// The mechanism file's initial state: every species 0 and the surface
// layer's water, then the first record's observed gases (those the file
// has) and the scenario's values. A mechanism brought by the user owes
// nothing to the built-in one: what the scenario does not set starts at 0.
void Run::start_file_box() {
  file_->start();
  const Mechanism& m = file_->mechanism();
  const auto set = [&](std::string_view name, double x) {
    if (const auto k = m.find_species(name)) file_->set_mole_fraction(*k + 1, x);
    else if (same_name(name, "H2O")) file_->set_water(x);
  };
  box_.start(scenario_.chemistry.photolysis_factor);
  if (scenario_.field.initial_from_first_record && preloaded_) {
    const SiteRecord& r = preloaded_->records.front();
    const std::pair<const char*, double> observed[] = {
        {"O3", r.ozone_read}, {"NO", r.no_read}, {"NO2", r.no2_read}, {"CO", r.co_read}, {"HCHO", r.hcho_read}};
    for (const auto& [name, ppb] : observed) set(name, ppb / 1e9);
  }
  const double unit = initial_unit();
  for (const InitialValue& v : scenario_.initial) set(v.name, v.ppb / unit);
  if (start_state_)
    for (int k = 1; k <= file_->species_count(); ++k) file_->set_mole_fraction(k, start_state_->at(at(k)));
}

double Run::initial_unit() {
  if (scenario_.initial_units == ConcentrationUnit::ppb) return 1e9;
  // Number densities over the air of the first step: the first record's
  // and [environment]'s at the start.
  if (preloaded_ && !preloaded_->records.empty()) {
    tt_ = preloaded_->records.front().tt;
    pp_ = preloaded_->records.front().pp;
  }
  apply_environment(clock_.hours());
  return air_number_density(tt_, pp_);
}

void Run::sample_now(double coszen) {
  if (sample_observers_.empty()) return;
  OutputSample s;
  s.elapsed_s = clock_.elapsed_seconds();
  s.time_h = clock_.hours();
  s.temperature = tt_;
  s.pressure = pp_;
  s.coszen = coszen;
  s.mole_fraction = mole_fractions();
  s.day = day_;
  if (diagnostics_ && file_) {
    std::vector<double> c;
    const std::vector<double>& k = file_->coefficients_now(air_, c);
    s.diagnostics = diagnostics_->evaluate(c, k, air_.m,
                                           budgets_ ? &budgets_->files().open_interval() : nullptr, s.time_h);
  } else if (diagnostics_) {
    s.diagnostics = diagnostics_->evaluate(box_.mole_fractions(), tt_, air_.m, box_.photolysis(),
                                     budgets_ ? &budgets_->files().open_interval() : nullptr, s.time_h);
  }
  if (scenario_.output.photolysis) {
    if (file_) {
      s.photolysis = file_->photolysis();
    } else if (frequencies_) {
      s.photolysis = channel_frequencies(s.time_h);
    } else {
      // The specified table: the slots' arguments of the step.
      for (const BuiltinChannel& c : builtin_channel_map()) s.photolysis.push_back(box_.photolysis()[at(c.slot)]);
    }
  }
  for (RunObserver* o : sample_observers_) o->sample(s);
}

void Run::step() {
  begin_step();
  chemistry_step();
  end_step();
}

void Run::begin_step() {
  if (!file_ || file_->specified_light()) box_.reload_photolysis();
  clock_.begin_step();
  const double timloc = clock_.local_time();

  // A new site record at the first step of every hour.
  const bool new_hour = clock_.first_of(scenario_.steps_per_hour());
  SiteRecord record;
  if (new_hour && reads_records_) {
    record = take_record();
  } else if (new_hour) {
    // No records: the hour's stamp is the clock's, and no radiation is observed.
    timin_ = clock_.hours();
    record.timin = timin_;
  }
  sun_.follow(timloc);
  hold_observed(clock_.hours());
  apply_environment(clock_.hours());
  if (file_) file_->set_rate_parameters_at(clock_.hours());
  if (new_hour && !reads_records_) {
    record.tt = tt_;
    record.pp = pp_;
  }
  if (new_hour)
    for (StepObserver* o : step_observers_) o->record_taken(view(), record);

  // The sun's warnings are progress lines: a quiet run prints none.
  const SunPosition sun = sun_.place(timloc, scenario_.output.progress_lines ? out_.line_sink() : LineSink{});
  coszen_ = sun.coszen;
  ratiod_ = clear_sky_ratio(sun, averad_, ratiod_);
  // A mechanism file's frequencies are those of the step's start.
  if (!file_ || file_->specified_light()) box_.scale_photolysis(coszen_);
  if (file_ && file_->specified_light()) file_->set_specified_light(box_.photolysis());
  else if (file_) file_->set_light({clock_.hours(), coszen_, ratiod_});
  if (!file_ && frequencies_) {
    // The step's own arguments: those at its start (what the outputs show
    // and, for "none", all the step uses).
    box_.set_photolysis(photolysis_at(clock_.hours()));
    box_.chemistry().set_step_start(clock_.hours() * 3600.0);
  }

  rho_phy_ = pp_ / (tt_ * r_dry_air);
  moist_ = file_ ? file_->moisture() : box_.moisture();
  air_ = step_air();

  if (file_ && scenario_.field.emission_profile == EmissionProfile::daylight)
    file_->set_emission_factor(emission_profile_factor(scenario_.field.emission_profile, coszen_, sun_.mean_cosine()));
  if (field_ != nullptr && field_->profile == EmissionProfile::daylight)
    box_.chemistry().set_emission_factor(emission_profile_factor(field_->profile, coszen_, sun_.mean_cosine()));

  if (!outputs_begun_) {
    // The first step's air, light and state are the run's starting
    // conditions: a rate no number there is refused before any output is
    // opened.
    if (file_) file_->check_rates(air_);
    begin_outputs();
  }
  if (clock_.first_of(scenario_.steps_per_output())) sample_now(coszen_);

  for (StepObserver* o : step_observers_) o->before_chemistry(view());
}

void Run::begin_outputs() {
  for (RunObserver* o : sample_observers_) o->begin(description_);
  outputs_begun_ = true;
}

// [environment]'s quantities at local time `time_h` (hours of the run's
// clock), at the start of every step, over the records' hourly values:
// temperature and pressure, and water vapour as the H2O mole fraction.
void Run::apply_environment(double time_h) {
  const EnvironmentSettings& e = scenario_.environment;
  if (!e.given()) return;
  const auto value = [&](std::string_view name, const std::optional<double>& constant) -> std::optional<double> {
    if (constant) return constant;
    if (e.series != nullptr)
      if (const TimeSeriesColumn* c = e.series->find(name)) return c->at(time_h, e.interpolation);
    return std::nullopt;
  };
  const auto t = value("temperature_K", e.temperature_K);
  const auto p = value("pressure_Pa", e.pressure_Pa);
  if (t) tt_ = *t;
  if (p) pp_ = *p;
  environment_air_ = t || p;
  std::optional<WaterVapour> water;
  relative_humidity_.reset();
  water_molecules_cm3_.reset();
  if (const auto rh = value("relative_humidity", e.relative_humidity)) {
    water = water_from_relative_humidity(*rh, tt_, pp_);
    relative_humidity_ = *rh;
  } else if (const auto ppb = value("h2o_ppb", e.h2o_ppb)) {
    water = water_from_ppb(*ppb, tt_, pp_);
  } else if (const auto n = value("h2o_molecules_cm3", e.h2o_molecules_cm3)) {
    water = water_from_molecules_cm3(*n, tt_, pp_);
    water_molecules_cm3_ = *n;
  }
  environment_water_ = water.has_value();
  // A mechanism file's rates read the file box's water.
  if (water && file_) file_->set_water(water->mole_fraction);
  else if (water) box_.set_mole_fraction(ind_h2o, water->mole_fraction);
}

// The air belongs to the site, not to the mechanism. From the site files
// (parameter file and hourly records) every mechanism sees the specified
// conversion: the number density of air from the density of dry air,
// water from its mass mixing ratio. Where [environment] gives the
// temperature or pressure, the air is the ideal gas's, M = p / (k_B T);
// where it gives water vapour, the rates see that water: the number density
// as given, or the mole fraction (from ppb or relative humidity) of M.
MechanismAir Run::step_air() const {
  MechanismAir a = air_of_density(tt_, rho_phy_, moist_);
  const double x_h2o = file_ ? file_->water() : box_.mole_fraction(ind_h2o);
  if (environment_air_) a.m = air_number_density(tt_, pp_);
  if (water_molecules_cm3_) a.h2o = *water_molecules_cm3_;
  else if (environment_water_) a.h2o = x_h2o * a.m;
  a.press = pp_ / 100.0;
  // Relative humidity in percent over liquid water: as given, or by the
  // saturation vapour pressure a scenario's relative_humidity is converted
  // with, so that the rates read back the humidity the scenario gave.
  a.rh = relative_humidity_ ? *relative_humidity_ : relative_humidity(x_h2o, tt_, pp_);
  return a;
}

// Methods other than "specified": the MCM channels the built-in mechanism
// maps from, as functions of time, checked against the run's span (a
// channel missing from a file, a file that stops short) before anything
// is written.
void Run::set_up_photolysis() {
  // A mechanism file's box sets up its own channels.
  if (file_) return;
  const PhotolysisSettings& p = scenario_.photolysis;
  const PhotolysisMethod method = p.effective_method(true);
  if (method == PhotolysisMethod::specified) return;
  PhotolysisSetup setup;
  setup.method = method;
  setup.channels.assign(builtin_mcm_channels.begin(), builtin_mcm_channels.end());
  setup.channels_of = "the built-in mechanism";
  setup.file = p.series.get();
  setup.file_named_at = p.file_source.describe();
  setup.interpolation = scenario_.environment.interpolation;
  setup.corrections.factor = scenario_.chemistry.photolysis_factor;
  setup.corrections.cloud_correction = p.cloud_correction;
  if (p.observed_j4) setup.corrections.observed_j4 = *p.observed_j4;
  setup.corrections.interpolation = scenario_.environment.interpolation;
  setup.first_h = scenario_.first_input_hour();
  setup.last_h = scenario_.last_input_hour();
  frequencies_.emplace(setup);
  if (method == PhotolysisMethod::none) return;
  // The light within a step: the frequencies at every time the integrator
  // evaluates the system (seconds of the run's clock).
  box_.chemistry().set_time_dependent_photolysis(
      [this](double seconds, PhotolysisRates& j) { j = photolysis_at(seconds / 3600.0); });
}


// The built-in mechanism's photolysis arguments at local time `time_h`.
PhotolysisRates Run::photolysis_at(double time_h) const {
  if (frequencies_->method() == PhotolysisMethod::none) return PhotolysisRates{};
  return builtin_map_.rates(*frequencies_,
                            light_at(sun_, time_h, scenario_.photolysis.cloud_correction, averad_, ratiod_));
}

std::vector<double> Run::channel_frequencies(double time_h) const {
  std::vector<double> j(builtin_mcm_channels.size(), 0.0);
  if (frequencies_ && frequencies_->method() != PhotolysisMethod::none)
    frequencies_->evaluate(light_at(sun_, time_h, scenario_.photolysis.cloud_correction, averad_, ratiod_), j);
  return j;
}

void Run::plan_injections() {
  injections_.clear();
  injected_species_.clear();
  const double step_h = scenario_.time.step_seconds / 3600.0;
  for (const Injection& i : scenario_.field.injections) {
    const int species = file_ ? *file_->mechanism().find_species(i.species) + 1 : species_index(i.species);
    auto p = std::find(injected_species_.begin(), injected_species_.end(), species);
    if (p == injected_species_.end()) p = injected_species_.insert(p, species);
    // A held species keeps its observed value: what was injected would be
    // undone unseen.
    if (field_ != nullptr && std::find(field_->held.begin(), field_->held.end(), species) != field_->held.end()) {
      throw PhysicsInputError(i.species_source.describe() + ": " + i.species +
                              " is held to observations; an injection of it would be undone");
    }
    const auto step = static_cast<int>(std::llround((i.time_h - scenario_.time.start_hour) / step_h));
    injections_.push_back({species, step, static_cast<int>(p - injected_species_.begin()), &i});
  }
  injected_ppb_.assign(injected_species_.size(), 0.0);
}

// An injection belongs to the step that starts at its time: added after
// that time's output (which shows the air just before it) and before the
// step's chemistry, which starts from the raised value. Its budget term
// is what it added to the mole fraction.
void Run::inject() {
  if (injections_.empty()) return;
  std::fill(injected_ppb_.begin(), injected_ppb_.end(), 0.0);
  const int step = clock_.steps_done();
  for (const PlannedInjection& i : injections_) {
    if (i.step != step) continue;
    const double added = i.given->molecules_cm3 ? i.given->amount / air_.m : i.given->amount / 1e9;
    if (file_) {
      const double x = file_->mole_fractions()[static_cast<std::size_t>(i.species - 1)];
      file_->set_mole_fraction(i.species, x + added);
    } else {
      box_.set_mole_fraction(i.species, box_.mole_fraction(i.species) + added);
    }
    injected_ppb_[static_cast<std::size_t>(i.process)] += added * 1e9;
  }
}

void Run::chemistry_step() {
  const double dt = clock_.step_seconds();
  inject();
  if (file_ && budgets_) {
    last_step_ = file_->advance(dt, air_, &file_budget_);
    const auto reactions = static_cast<std::ptrdiff_t>(file_->mechanism().reaction_count());
    const std::span<const double> z = file_budget_.process;
    const std::span<const bool> held =
        file_held_ ? std::span<const bool>(file_held_.get(), file_budget_.clipping.size()) : std::span<const bool>{};
    budgets_->add_step(z.first(static_cast<std::size_t>(reactions)), z.subspan(static_cast<std::size_t>(reactions)),
                       file_budget_.clipping, held, injected_ppb_);
    return;
  }
  if (file_) {
    last_step_ = file_->advance(dt, air_);
    return;
  }
  if (budgets_) {
    StepBudget budget;
    last_step_ = box_.advance(dt, air_, &budget);
    const OpenBox* open = box_.chemistry().open_box();
    budgets_->add_step(budget.reaction, budget.exchange, budget.clipping,
                       !constraints_.active() ? std::span<const bool>{}
                       : open != nullptr      ? std::span<const bool>(open->held)
                                              : std::span<const bool>(field_->box.held),
                       injected_ppb_);
  } else {
    last_step_ = box_.advance(dt, air_);
  }
}

LaneBox Run::begin_lane_chemistry() {
  inject();
  if (file_) return file_->begin_lanes(clock_.step_seconds(), air_);
  return box_.begin_lanes(clock_.step_seconds(), air_);
}

void Run::finish_lane_chemistry(const RosenbrockCounters& counters) {
  last_step_ = file_ ? file_->finish_lanes(counters) : box_.finish_lanes(counters);
}

void Run::end_step() {
  for (StepObserver* o : step_observers_) o->after_chemistry(view());

  clock_.end_step();
  check_state();
}

// What a scenario's user may not expect, said before the run: long-lived
// species that dilution draws toward 0, and site humidity left unused.
void Run::write_notes() const {
  if (!preloaded_ || preloaded_->records.empty() || file_) return;
  const SiteRecord& first = preloaded_->records.front();
  const std::array<double, nspec> x = box_.mole_fractions();
  const auto held = [&](std::size_t k) { return field_ != nullptr && field_->box.held[k]; };
  const double dilution = scenario_.field.exchange.dilution_per_s;
  if (dilution > 0.0) {
    // Air of the first record; k_B in J K-1, cm-3 from m-3.
    const double c_m = first.pp / (1.380649e-23 * first.tt) * 1e-6;
    const std::array<double, nvar> loss =
        chemical_loss_frequencies(x, first.tt, c_m, scenario_.chemistry.photolysis_factor);
    const double run_s = scenario_.time.hours * 3600.0;
    std::string list;
    for (std::size_t k = 0; k < loss.size(); ++k) {
      const std::string name(mech::species_names[k]);
      const bool background = std::any_of(scenario_.field.exchange.background.begin(),
                                          scenario_.field.exchange.background.end(),
                                          [&](const SpeciesSetting& b) { return b.species == name; });
      if (background || held(k) || !(x[k] > 0.0) || !(loss[k] * run_s < 1.0)) continue;
      char ppb[32];
      std::snprintf(ppb, sizeof ppb, "%.3g", x[k] * 1e9);
      list += (list.empty() ? "" : ", ") + name + " (" + ppb + " ppb)";
    }
    if (!list.empty())
      warn_("note: [dilution] draws every species without a background toward 0 ppb; these outlive the " +
            full_precision(scenario_.time.hours) +
            " h run against the chemistry (even under an overhead sun) and will mostly dilute away: " + list +
            ". Give them a background ([dilution] background = { NAME = ppb }) to keep them.");
  }
  const bool own_records = scenario_.site.records != default_scenario().site.records;
  const bool water_held = (field_ != nullptr && field_->file && field_->file->find("H2O") != nullptr) ||
                          std::any_of(scenario_.field.from_records.begin(), scenario_.field.from_records.end(),
                                      [](const NamedSpecies& s) { return s.species == "H2O"; });
  if (own_records && !water_held &&
      std::any_of(preloaded_->records.begin(), preloaded_->records.end(),
                  [](const SiteRecord& r) { return r.q2 > 0.0; })) {
    char ppm[32];
    std::snprintf(ppm, sizeof ppm, "%.4g", x[at(ind_h2o)] * 1e6);
    warn_("note: " + scenario_.site.records.generic_string() +
          ": the records' humidity (q2) is not used: water vapour stays at the initial state's " + ppm +
          " ppm. To follow the records, hold it to them: [constraints] from_records = [\"H2O\"]");
  }
}

// No species of real air passes a mole fraction of 1 (1e9 ppb): a state
// that does is a runaway of the numbers, and every value after it would be
// nonsense. Said with the species and the time, before an overflow says
// it without either.
void Run::check_state() const {
  const std::array<double, nspec> builtin = file_ ? std::array<double, nspec>{} : box_.mole_fractions();
  const std::span<const double> x =
      file_ ? std::span<const double>(file_->mole_fractions()) : std::span<const double>(builtin);
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (!(x[k] > 1.0) || (!file_ && static_cast<int>(k) + 1 == ind_m)) continue;
    const double h = clock_.hours();
    const long minutes = std::lround(h * 60.0);
    char when[96];
    std::snprintf(when, sizeof when, "%02ld:%02ld local time%s (step %d of %d)", minutes / 60 % 24, minutes % 60,
                  minutes >= 24 * 60 ? (" of day " + std::to_string(minutes / (24 * 60) + 1)).c_str() : "",
                  clock_.steps_done(), clock_.total_steps());
    char value[32];
    std::snprintf(value, sizeof value, "%.3g", x[k] * 1e9);
    throw ImpossibleState(catalogue().species[k] + " reached " + value +
                          " ppb at " + when + ": a mole fraction above 1 is no state of the air (an "
                          "emission or initial value far too large?); the run is stopped");
  }
}

void Run::finish() {
  if (!sample_observers_.empty()) {
    // The sun at the end of the run, placed without a word on the output.
    const double coszen = sun_.coszen_at(clock_.local_time());
    hold_observed(clock_.hours());
    // A mechanism file's frequencies at that time, for photolysis.csv.
    if (file_ && !file_->specified_light())
      file_->set_light(light_at(sun_, clock_.hours(), scenario_.photolysis.cloud_correction, averad_, ratiod_));
    sample_now(coszen);
    for (RunObserver* o : sample_observers_) o->finish();
    if (budgets_ && scenario_.output.wants(OutputFormat::netcdf))
      budgets_->write_netcdf(scenario_.output.dir, description_);
  }
  for (StepObserver* o : step_observers_) o->finished(view());
}

void Run::run_day() {
  RunSession session(*this);
  run_session(session);
}

}  // namespace box
