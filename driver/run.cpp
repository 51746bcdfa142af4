#include "driver/run.hpp"

#include <utility>

#include "common/one_based.hpp"
#include "driver/initial_state.hpp"
#include "driver/report.hpp"

namespace box {
namespace {

constexpr int hours_in_run = 17;
constexpr double ppb = 1e9;
constexpr double r_dry_air = 287.058;  // specific gas constant of dry air, J kg-1 K-1

}  // namespace

Run::Run(std::filesystem::path dir, TextOutput& out, StepSettings settings)
    : dir_(std::move(dir)), out_(out), chemistry_(out.line_sink(), settings) {}

void Run::start() {
  // The start-up lines show two photolysis arguments that nothing assigns
  // and a third plus one: 0, 0 and 1.
  const double ph_acetp = ph_[at(pj_acetp)];
  const double ph_o31d = ph_[at(pj_o31d)];
  const double ph_xooh = ph_[at(pj_xooh)];
  out_.write_line(startup_line("ph_acetp=", ph_acetp, ph_o31d, ph_xooh + 1.0));
  const LineItem free_startup[] = {std::string_view("ph_acetp="), ph_acetp, ph_o31d, ph_xooh};
  out_.write_free(free_startup);

  timloc_ = 5.0;
  deltim_ = 300.0;
  ntimes_ = static_cast<int>(3600.0 / deltim_) * hours_in_run;

  site_.emplace(SiteFile::open(dir_));
  site_->skip_header();

  // The initial state: site and day, the sun's constants, the air.
  parameters_ = read_parameter_file(dir_);
  solar_.astron = site_constants(parameters_.xlat, parameters_.xlong, parameters_.stdlng);
  declin(solar_.astron, parameters_.iyear, parameters_.jday);
  vc_ = initial_concentrations();
  phot1_ = base_photolysis_table();
  extf_ = 1.0;

  table_.emplace(TextOutput::create(dir_ / species_table_name, species_table_name));
  started_ = true;
}

void Run::read_hour() {
  const SiteRecord r = site_->next();
  timin_ = r.timin;
  tt_ = r.tt;
  pp_ = r.pp;
  const LineItem echo[] = {std::string_view("Ozone_read, NO_read, NO2_read"), r.ozone_read,
                           r.no_read, r.no2_read};
  out_.write_free(echo);
  averad_ = r.averad_obs_aug26;
  if (itime_ + 1 == 1) table_->write_line(species_table_header());
  table_->write_line(species_table_row(timloc_, timin_, vc_));
}

void Run::write_progress_before() {
  out_.write_line(progress_line({{"working on timloc before=", timloc_},
                                 {"timin", timin_},
                                 {"averad=", averad_},
                                 {"NO=", vc_[at(lno)] * ppb},
                                 {"HBr=", vc_[at(lhbr)] * ppb},
                                 {"BrO=", vc_[at(lbro)] * ppb},
                                 {"Br=", vc_[at(lbr)] * ppb},
                                 {"photoj", photoj_[at(1)]},
                                 {"coszen", coszen_},
                                 {"ratiod", ratiod_}}));
}

void Run::write_progress_after() {
  out_.write_line(progress_line({{"working on timloc after=", timloc_},
                                 {"timin", timin_},
                                 {"O3=", vc_[at(lo3)] * ppb},
                                 {"NO=", vc_[at(lno)] * ppb},
                                 {"HBr=", vc_[at(lhbr)] * ppb},
                                 {"BrO=", vc_[at(lbro)] * ppb},
                                 {"Br=", vc_[at(lbr)] * ppb},
                                 {"photoj", photoj_[at(1)]},
                                 {"coszen", coszen_}}));
}

void Run::step() {
  const int itime = itime_ + 1;
  photoj_ = reload_photoj(phot1_);
  const double tstart = timloc_ * 3600.0;
  const double t1 = tstart + deltim_;

  // A new site record at the first step of every hour.
  const int steps_per_hour = 60 / (static_cast<int>(deltim_) / 60);
  if (timloc_ < 23.5 && itime % steps_per_hour == 1) read_hour();

  const SunPosition sun = zenith(solar_, timloc_, out_.line_sink());
  coszen_ = sun.coszen;
  ratiod_ = clear_sky_ratio(sun, averad_, ratiod_);
  scale_photoj(photoj_, coszen_, extf_);
  ph_ = photolysis_arguments(photoj_);

  rho_phy_ = pp_ / (tt_ * r_dry_air);
  // Mass mixing ratio of water vapour: mole fraction times 18/28.8.
  moist_ = vc_[at(lh2o)] * 18.0 * 0.034722222222222224;

  write_progress_before();
  chemistry_.racm_interface(nspec_old, vc_.data(), id_, deltim_, pp_, tt_, rho_phy_, moist_,
                            vdrog3_.data(), static_cast<int>(vdrog3_.size()), radicals_, ph_);
  write_progress_after();

  // The clock moves through seconds of the day.
  timloc_ = t1 * 0.0002777777777777778;
  itime_ = itime;
}

void Run::finish() {
  if (table_) table_->close();
}

void Run::run_day() {
  start();
  while (itime_ < ntimes_) step();
  finish();
}

}  // namespace box
