#include "run/run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "chemistry/species_map.hpp"
#include "common/errors.hpp"
#include "common/format.hpp"
#include "common/one_based.hpp"
#include "common/reciprocals.hpp"
#include "common/version.hpp"
#include "run/initial_state.hpp"
#include "output/model_outputs.hpp"
#include "output/sample_writers.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_rates.hpp"
#include "mechanism/reaction_table.hpp"
#include "output/netcdf_writer.hpp"
#include "scenario/scenario_file.hpp"

namespace box {
namespace {

constexpr double r_dry_air = 287.058;  // specific gas constant of dry air, J kg-1 K-1

bool leap_year(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// The sun follows the local clock modulo a day.
double hour_of_day(double timloc) { return timloc < 24.0 ? timloc : std::fmod(timloc, 24.0); }

// How fast the chemistry alone would consume each integrated species
// (s-1) in the state `x` (mole fractions, mechanism order) of air at
// temperature `temp` and number density `c_m`, under an overhead sun
// scaled by `photolysis_factor`: the sum over its reactions of the rate's
// derivative with respect to it (twice the rate over it for a
// self-reaction, as it loses two).
std::array<double, nvar> chemical_loss_frequencies(const std::array<double, nspec>& x, double temp, double c_m,
                                                   double photolysis_factor) {
  const PhotolysisRates j = overhead_sun_photolysis(photolysis_factor);
  std::array<double, nreact> k{};
  racm_update_rconst(j.data(), k.data(), c_m, temp);
  std::array<double, nvar> v{};
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = x[i] * c_m;
  const std::array<double, nfix> f = {x[at(ind_h2o)] * c_m, c_m};
  std::array<double, nvar> loss{};
  std::array<double, nvar> direction{};
  std::array<double, nreact> d{};
  for (std::size_t i = 0; i < loss.size(); ++i) {
    direction.fill(0.0);
    direction[i] = 1.0;
    racm_reaction_rates_jvp(v.data(), f.data(), k.data(), direction.data(), d.data());
    for (double dn : d) loss[i] += dn;
  }
  return loss;
}

}  // namespace

SiteData load_site(const Scenario& scenario, const std::function<void(const std::string&)>& warn) {
  SiteData data;
  const std::string parameters_name = scenario.site.parameters.generic_string();
  data.parameters = read_parameter_file(scenario.site.parameters, parameters_name, true);

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
    if (!scenario.field.from_records.empty()) {
      try {
        const SiteRecord r = site.next();
        check_record_values(r, site.last_layout(), needed + 1, name);
        data.records.push_back(r);
      } catch (const InputError&) {
        // No further record: the last one holds.
      }
    }
    data.field = prepare_field(scenario, data.records);
    if (scenario.field.emission_profile == EmissionProfile::daylight) {
      Astron a = site_constants(data.parameters.xlat, data.parameters.xlong, data.parameters.stdlng);
      declin(a, data.parameters.iyear, data.parameters.jday);
      require_daylight(daylight_mean_cosine(a.sinlat, a.coslat, a.sindec, a.cosdec),
                       scenario.field.emission_profile_source);
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

Run::Run(Scenario scenario, TextOutput& out, std::optional<SiteData> site)
    : scenario_(std::move(scenario)),
      out_(out),
      preloaded_(std::move(site)),
      chemistry_(out.line_sink(), step_settings(scenario_)) {
  add_format_observers();
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
    : scenario_(model_day(dir)), out_(out), chemistry_(out.line_sink(), std::move(settings)) {
  add_format_observers();
}

Run::~Run() = default;

StepView Run::view() const {
  return {.steps_done = itime_,
          .timloc = timloc_,
          .timin = timin_,
          .averad = averad_,
          .coszen = coszen_,
          .ratiod = ratiod_,
          .temperature = tt_,
          .pressure = pp_,
          .air_density = rho_phy_,
          .moisture = moist_,
          .photoj = photoj_,
          .photolysis = ph_,
          .vc = vc_,
          .solar = solar_,
          .out = out_};
}

void Run::add_format_observers() {
  const OutputSettings& o = scenario_.output;
  if (o.progress_lines) owned_step_observers_.push_back(std::make_unique<ProgressLines>());
  if (o.wants(OutputFormat::table)) owned_step_observers_.push_back(std::make_unique<SpeciesTable>(o.dir, scenario_.check_inputs_first));
  for (auto& observer : owned_step_observers_) step_observers_.push_back(observer.get());
  for (auto& writer : sample_writers(scenario_)) add_observer(std::move(writer));
}

void Run::add_observer(std::unique_ptr<RunObserver> observer) {
  sample_observers_.push_back(observer.get());
  owned_observers_.push_back(std::move(observer));
}

void Run::start() {
  for (StepObserver* o : step_observers_) o->starting(view());

  timloc_ = scenario_.time.start_hour;
  deltim_ = scenario_.time.step_seconds;
  ntimes_ = scenario_.total_steps();

  if (!preloaded_ && scenario_.check_inputs_first) preloaded_ = load_site(scenario_);
  if (preloaded_) {
    parameters_ = preloaded_->parameters;
    if (preloaded_->field) {
      field_ = &*preloaded_->field;
      chemistry_.set_open_box(field_->box);
    }
  } else {
    site_.emplace(SiteFile::open(scenario_.site.records, scenario_.site.records.filename().string()));
    site_->skip_header();
    parameters_ = read_parameter_file(scenario_.site.parameters,
                                      scenario_.site.parameters.filename().string(), false);
  }

  // The initial state: site and day, the sun's constants, the air.
  solar_.astron = site_constants(parameters_.xlat, parameters_.xlong, parameters_.stdlng);
  declin(solar_.astron, parameters_.iyear, parameters_.jday);
  day_offset_ = 0;
  mean_cosine_ = daylight_mean_cosine(solar_.astron.sinlat, solar_.astron.coslat,
                                      solar_.astron.sindec, solar_.astron.cosdec);
  vc_ = initial_concentrations();
  if (scenario_.field.initial_from_first_record && preloaded_) {
    const SiteRecord& r = preloaded_->records.front();
    const std::pair<int, double> observed[] = {{ind_o3, r.ozone_read}, {ind_no, r.no_read},
                                               {ind_no2, r.no2_read}, {ind_co, r.co_read},
                                               {ind_hcho, r.hcho_read}};
    for (const auto& [species, ppb] : observed)
      driver_value(species_map[at(species)], vc_.data(), radicals_) = ppb / 1e9;
  }
  for (const InitialValue& v : scenario_.initial) {
    const double x = v.ppb / 1e9;
    if (v.species == ind_h2o) vc_[at(lh2o)] = x;
    else driver_value(species_map[at(v.species)], vc_.data(), radicals_) = x;
  }
  phot1_ = base_photolysis_table();
  extf_ = scenario_.chemistry.photolysis_factor;
  if (warn_) write_notes();

  if (scenario_.output.budgets) start_budgets();
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
    for (RunObserver* o : sample_observers_) o->begin(d);
  }
  started_ = true;
}

SiteRecord Run::take_record() {
  SiteRecord r;
  if (preloaded_) {
    r = preloaded_->records.at(next_record_++);
  } else {
    r = site_->next();
    // The list-directed reading takes a record wherever its values are; a
    // record that spans lines or leaves values on its line is how a missing
    // or extra value shows, hours before the reading runs out.
    if (warn_)
      if (auto w = layout_warning(site_->name(), site_->last_layout(), site_->records_read())) warn_(*w);
  }
  timin_ = r.timin;
  tt_ = r.tt;
  pp_ = r.pp;
  averad_ = r.averad_obs_aug26;
  return r;
}

void Run::start_budgets() {
  if (const auto* plan = chemistry_.exchange_processes())
    for (const ExchangeProcess& p : *plan)
      processes_.named.push_back({p.term(), p.species + 1, p.coef()});
  auto files = std::make_unique<budget::BudgetFiles>(scenario_.output.dir, scenario_.output.budget_species,
                                                     processes_);
  budget_files_ = files.get();
  add_observer(std::move(files));
  step_processes_.assign(static_cast<std::size_t>(processes_.size()), 0.0);
}

// The step's integrals of every process, and what the step did besides:
// clipping, and for the held species what their holding took away or
// added while the processes changed them (their value does not move).
void Run::add_step_budget(const StepBudget& b) {
  std::copy(b.reaction.begin(), b.reaction.end(), step_processes_.begin());
  std::copy(b.exchange.begin(), b.exchange.end(), step_processes_.begin() + nreact);
  budget_files_->add_step(step_processes_, b.clipping);
  if (field_ == nullptr || !field_->constrained()) return;
  std::array<double, nvar> held{};
  const OpenBox& box = field_->box;
  for (std::size_t k = 0; k < held.size(); ++k)
    if (box.held[k])
      held[k] = 0.0 - (budget::process_change(static_cast<int>(k) + 1, step_processes_, processes_) +
                       b.clipping[k]);
  budget_files_->add_adjustment("constraint", held);
}

// Species held to observations take their observed value at the start of
// every step (and at the end of the run, for its last output).
void Run::hold_observed(double time_h) {
  if (field_ == nullptr || !field_->constrained()) return;
  const std::array<double, nspec> before = budget_files_ != nullptr ? mole_fractions()
                                                                      : std::array<double, nspec>{};
  const auto hold = [&](const ObservationTable& table) {
    for (const ObservationColumn& c : table.columns) {
      const double value = table.value_ppb(c, time_h, field_->interpolation);
      if (c.index == ind_h2o) {
        vc_[at(lh2o)] = &table == &field_->records ? water_mole_fraction(value) : value / 1e9;
      } else {
        driver_value(species_map[at(c.index)], vc_.data(), radicals_) = value / 1e9;
      }
    }
  };
  hold(field_->records);
  if (field_->file) hold(*field_->file);
  // What the holding changed belongs to the interval that ends here (the
  // state at the first step is the initial state).
  if (budget_files_ != nullptr && itime_ > 0) {
    const std::array<double, nspec> after = mole_fractions();
    std::array<double, nvar> reset{};
    for (std::size_t k = 0; k < reset.size(); ++k) reset[k] = (after[k] - before[k]) * 1e9;
    budget_files_->add_adjustment("constraint", reset);
  }
}

// At each midnight crossed the day of the year advances, and with it the
// declination and the equation of time.
void Run::follow_the_day() {
  const int offset = static_cast<int>(std::floor(timloc_ / 24.0));
  if (offset == day_offset_) return;
  day_offset_ = offset;
  int year = parameters_.iyear;
  int day = parameters_.jday + offset;
  while (day > (leap_year(year) ? 366 : 365)) {
    day -= leap_year(year) ? 366 : 365;
    ++year;
  }
  declin(solar_.astron, year, day);
  mean_cosine_ = daylight_mean_cosine(solar_.astron.sinlat, solar_.astron.coslat,
                                      solar_.astron.sindec, solar_.astron.cosdec);
}

std::array<double, nspec> Run::mole_fractions() const {
  std::array<double, nspec> x{};
  for (std::size_t k = 0; k < species_map.size(); ++k) {
    const SpeciesSource& s = species_map[k];
    x[k] = s.vc_slot != 0 ? vc_[at(s.vc_slot)] : radicals_.*(s.radical);
  }
  x[at(ind_h2o)] = vc_[at(lh2o)];
  x[at(ind_m)] = 1.0;
  return x;
}

void Run::sample_now(double coszen) {
  if (sample_observers_.empty()) return;
  OutputSample s;
  s.elapsed_s = static_cast<double>(itime_) * deltim_;
  s.time_h = clock_hours();
  s.temperature = tt_;
  s.pressure = pp_;
  s.coszen = coszen;
  s.mole_fraction = mole_fractions();
  for (RunObserver* o : sample_observers_) o->sample(s);
}

void Run::step() {
  begin_step();
  chemistry_step();
  end_step();
}

void Run::begin_step() {
  const int itime = itime_ + 1;
  photoj_ = reload_photoj(phot1_);
  const double tstart = timloc_ * 3600.0;
  step_end_s_ = tstart + deltim_;

  // A new site record at the first step of every hour.
  const bool new_hour = (itime - 1) % scenario_.steps_per_hour() == 0;
  SiteRecord record;
  if (new_hour) record = take_record();
  follow_the_day();
  hold_observed(clock_hours());
  if (new_hour)
    for (StepObserver* o : step_observers_) o->record_taken(view(), record);

  // The sun's warnings are progress lines: a quiet run prints none.
  const SunPosition sun = zenith(solar_, hour_of_day(timloc_),
                                 scenario_.output.progress_lines ? out_.line_sink() : LineSink{});
  coszen_ = sun.coszen;
  ratiod_ = clear_sky_ratio(sun, averad_, ratiod_);
  scale_photoj(photoj_, coszen_, extf_);
  ph_ = photolysis_arguments(photoj_);

  rho_phy_ = pp_ / (tt_ * r_dry_air);
  // Mass mixing ratio of water vapour: mole fraction times 18/28.8.
  moist_ = vc_[at(lh2o)] * 18.0 * moles_per_gram_air;

  if (field_ != nullptr && field_->profile == EmissionProfile::daylight)
    chemistry_.set_emission_factor(emission_profile_factor(field_->profile, coszen_, mean_cosine_));

  if ((itime - 1) % scenario_.steps_per_output() == 0) sample_now(coszen_);

  for (StepObserver* o : step_observers_) o->before_chemistry(view());
}

void Run::chemistry_step() {
  if (budget_files_ != nullptr) {
    StepBudget budget;
    last_step_ = chemistry_.advance(vc_.data(), deltim_, tt_, rho_phy_, moist_, radicals_, ph_, &budget);
    add_step_budget(budget);
  } else {
    last_step_ = chemistry_.advance(vc_.data(), deltim_, tt_, rho_phy_, moist_, radicals_, ph_);
  }
}

LaneBox Run::begin_lane_chemistry() {
  chemistry_.begin(vc_.data(), deltim_, tt_, rho_phy_, moist_, radicals_, ph_);
  return chemistry_.lane_box();
}

void Run::finish_lane_chemistry(const RosenbrockCounters& counters) {
  last_step_ = chemistry_.finish(vc_.data(), radicals_, ros_success, counters);
}

void Run::end_step() {
  for (StepObserver* o : step_observers_) o->after_chemistry(view());

  // The clock moves through seconds of the day.
  timloc_ = step_end_s_ * hours_per_second;
  itime_ = itime_ + 1;
  check_state();
}

// What a scenario's user may not expect, said before the run: long-lived
// species that dilution draws toward 0, and site humidity left unused.
void Run::write_notes() const {
  if (!preloaded_ || preloaded_->records.empty()) return;
  const SiteRecord& first = preloaded_->records.front();
  const std::array<double, nspec> x = mole_fractions();
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
  const std::array<double, nspec> x = mole_fractions();
  for (std::size_t k = 0; k < x.size(); ++k) {
    if (!(x[k] > 1.0) || static_cast<int>(k) + 1 == ind_m) continue;
    const double h = clock_hours();
    const long minutes = std::lround(h * 60.0);
    char when[96];
    std::snprintf(when, sizeof when, "%02ld:%02ld local time%s (step %d of %d)", minutes / 60 % 24, minutes % 60,
                  minutes >= 24 * 60 ? (" of day " + std::to_string(minutes / (24 * 60) + 1)).c_str() : "",
                  itime_, ntimes_);
    char value[32];
    std::snprintf(value, sizeof value, "%.3g", x[k] * 1e9);
    throw ImpossibleState(std::string(mech::species_names[k]) + " reached " + value +
                          " ppb at " + when + ": a mole fraction above 1 is no state of the air (an "
                          "emission or initial value far too large?); the run is stopped");
  }
}

void Run::finish() {
  if (!sample_observers_.empty()) {
    // The sun at the end of the run, placed without a word on the output.
    SolarState end_sun = solar_;
    const int saved_offset = day_offset_;
    follow_the_day();
    const double coszen = zenith(solar_, hour_of_day(timloc_), LineSink{}).coszen;
    solar_ = end_sun;
    day_offset_ = saved_offset;
    hold_observed(clock_hours());
    sample_now(coszen);
    for (RunObserver* o : sample_observers_) o->finish();
    if (budget_files_ != nullptr && scenario_.output.wants(OutputFormat::netcdf)) write_budget_file();
  }
  for (StepObserver* o : step_observers_) o->finished(view());
}

// The integrated process rates as NetCDF, once every interval is closed.
void Run::write_budget_file() const {
  ProcessIntegralTable table;
  table.names = budget::process_names(processes_);
  table.equations = budget::process_equations(processes_);
  for (const budget::IntervalIntegrals& i : budget_files_->intervals()) {
    table.start_h.push_back(i.start_h);
    table.end_h.push_back(i.end_h);
    table.ppb.insert(table.ppb.end(), i.process.begin(), i.process.end());
  }
  write_budget_netcdf(scenario_.output.dir, table, description_);
}

void Run::run_day() {
  start();
  while (itime_ < ntimes_) step();
  finish();
}

}  // namespace box
