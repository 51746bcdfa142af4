#include "output/netcdf_writer.hpp"

#include <stdexcept>

#include <string>
#include <utility>

#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/netcdf_library.hpp"
#include "output/partial_file.hpp"
#include "output/species_selection.hpp"
#include "output/time_units.hpp"
#include "output/variable_attributes.hpp"

namespace box {
namespace {

void put_text(const NetcdfLibrary& nc, int ncid, int var, const std::string& name, std::string_view value,
              int& status) {
  if (status == NC_NOERR)
    status = nc.put_att_text(ncid, var, name.c_str(), value.size(), value.data());
}

}  // namespace

bool netcdf_available() { return netcdf_load_error().empty(); }

std::string netcdf_unavailable_reason() {
  const std::string& error = netcdf_load_error();
  return error.empty() ? std::string() : "its module cannot be loaded: " + error;
}

NetcdfSpeciesWriter::NetcdfSpeciesWriter(std::filesystem::path directory, std::vector<int> species,
                                         bool diagnostics, bool day, std::vector<std::string> names)
    : path_(std::move(directory) / file_name),
      partial_(partial_path(path_)),
      species_(std::move(species)),
      names_(std::move(names)),
      diagnostics_(diagnostics),
      day_(day),
      nc_(&netcdf_library(path_)) {
  if (names_.empty()) check_species_indices(species_);
  else if (names_.size() != species_.size()) throw std::invalid_argument("a name for every species");
}

NetcdfSpeciesWriter::~NetcdfSpeciesWriter() {
  // Not finished: the run failed. The .partial file stays as far as it got.
  if (ncid_ >= 0) nc_->close(ncid_);
}

void NetcdfSpeciesWriter::check(int status, std::string_view doing) const {
  if (status != NC_NOERR)
    throw OutputError(partial_.string() + ": cannot " + std::string(doing) + ": " +
                      nc_->strerror(status));
}

void NetcdfSpeciesWriter::begin(const RunDescription& run) {
  if (ncid_ >= 0) nc_->close(ncid_);
  ncid_ = -1;
  records_ = 0;
  int ncid = -1;
  check(nc_->create(partial_.c_str(), NC_CLOBBER | NC_64BIT_OFFSET, &ncid), "create the file");
  ncid_ = ncid;

  int time_dim = -1;
  check(nc_->def_dim(ncid_, "time", NC_UNLIMITED, &time_dim), "define the time dimension");
  const auto define = [&](const std::string& name) {
    int var = -1;
    check(nc_->def_var(ncid_, name.c_str(), NC_DOUBLE, 1, &time_dim, &var),
          "define the variable " + name);
    return var;
  };

  int status = NC_NOERR;
  const auto put_all = [&](int var, const Attributes& attributes) {
    for (const auto& [name, value] : attributes) put_text(*nc_, ncid_, var, name, value, status);
  };
  time_var_ = define("time");
  put_all(time_var_, time_attributes(run));
  // The offset as a number (replacing its text), so that a reader adds it
  // to the UTC times as it stands.
  if (run.utc_offset_hours && status == NC_NOERR)
    status = nc_->put_att_double(ncid_, time_var_, "utc_offset_hours", NC_DOUBLE, 1, &*run.utc_offset_hours);

  species_vars_.clear();
  for (std::size_t k = 0; k < species_.size(); ++k) {
    const std::string name = names_.empty() ? std::string(species_name(species_[k])) : names_[k];
    const int var = define(name);
    species_vars_.push_back(var);
    put_all(var, species_attributes(name));
  }

  // temperature, pressure, cos_solar_zenith_angle, in the order of sample().
  int* const air_vars[] = {&temperature_var_, &pressure_var_, &coszen_var_};
  const std::vector<SampledVariable>& air = air_variables();
  for (std::size_t k = 0; k < air.size(); ++k) {
    *air_vars[k] = define(air[k].name);
    put_all(*air_vars[k], air[k].attributes);
  }
  diagnostic_vars_.clear();
  if (diagnostics_)
    for (const SampledVariable& v : diagnostic_variables()) {
      diagnostic_vars_.push_back(define(v.name));
      put_all(diagnostic_vars_.back(), v.attributes);
    }
  if (day_) {
    day_var_ = define("day");
    put_all(day_var_, {{"long_name", "day of the spin-up; the scenario's run follows the last"}, {"units", "1"}});
  }
  // A site by keys: its place, and the air's number density, for
  // converting the mole fractions.
  int latitude_var = -1;
  int longitude_var = -1;
  air_density_var_ = -1;
  if (run.utc_offset_hours) {
    check(nc_->def_var(ncid_, "latitude", NC_DOUBLE, 0, nullptr, &latitude_var), "define the variable latitude");
    put_all(latitude_var, {{"standard_name", "latitude"}, {"units", "degrees_north"}});
    check(nc_->def_var(ncid_, "longitude", NC_DOUBLE, 0, nullptr, &longitude_var), "define the variable longitude");
    put_all(longitude_var, {{"standard_name", "longitude"}, {"units", "degrees_east"}});
    air_density_var_ = define("number_density_of_air");
    put_all(air_density_var_, {{"long_name", "number density of air"}, {"units", "cm-3"},
                               {"comment", "p / (k_B T), k_B = 1.380649e-23 J K-1"}});
  }
  photolysis_vars_.clear();
  for (const std::string& channel : run.photolysis_channels) {
    photolysis_vars_.push_back(define(channel));
    put_all(photolysis_vars_.back(), {{"long_name", "photolysis frequency " + channel}, {"units", "s-1"}});
  }
  put_all(NC_GLOBAL, global_attributes(run));
  // Every day written, the header is made on the spin-up's first day,
  // before the number is known: the attribute is set aside here and given
  // its value when the file is finished (the run's day less one).
  const int spin_up_days = day_ ? 0 : run.spin_up_days;
  if (spin_up_days >= 0 && status == NC_NOERR)
    status = nc_->put_att_int(ncid_, NC_GLOBAL, "spin_up_days", NC_INT, 1, &spin_up_days);
  check(status, "write the attributes");
  check(nc_->enddef(ncid_), "write the file header");
  if (run.utc_offset_hours) {
    const std::size_t none = 0;
    check(nc_->put_var1_double(ncid_, latitude_var, &none, &run.latitude), "write the latitude");
    check(nc_->put_var1_double(ncid_, longitude_var, &none, &run.longitude_east), "write the longitude");
  }
}

void NetcdfSpeciesWriter::sample(const OutputSample& sample) {
  if (ncid_ < 0) throw OutputError(path_.string() + ": written before it was begun");
  const std::size_t record = records_;
  const auto put = [&](int var, double value) {
    check(nc_->put_var1_double(ncid_, var, &record, &value), "write a record");
  };
  put(time_var_, sample.elapsed_s);
  for (std::size_t k = 0; k < species_.size(); ++k)
    put(species_vars_[k], sample.mole_fraction[at(species_[k])]);
  put(temperature_var_, sample.temperature);
  put(pressure_var_, sample.pressure);
  put(coszen_var_, sample.coszen);
  if (diagnostics_) {
    if (!sample.diagnostics) throw OutputError(path_.string() + ": a sample without diagnostics");
    const std::vector<double> values = diagnostic_values(*sample.diagnostics);
    for (std::size_t k = 0; k < values.size(); ++k) put(diagnostic_vars_[k], values[k]);
  }
  if (day_) {
    put(day_var_, sample.day);
    last_day_ = sample.day;
  }
  if (air_density_var_ >= 0) put(air_density_var_, sample.pressure / (1.380649e-23 * sample.temperature) * 1e-6);
  for (std::size_t k = 0; k < photolysis_vars_.size() && k < sample.photolysis.size(); ++k)
    put(photolysis_vars_[k], sample.photolysis[k]);
  ++records_;
  // The record count lives in the header, which the library writes only
  // when told: synced, the .partial file holds every record so far when
  // a signal ends the process without closing it, as the CSV holds its rows.
  check(nc_->sync(ncid_), "write a record");
}

void NetcdfSpeciesWriter::finish() {
  if (ncid_ < 0) throw OutputError(path_.string() + ": finished before it was begun");
  if (day_ && last_day_ > 0) {
    // An attribute that keeps its size may be rewritten in data mode.
    const int spin_up_days = last_day_ - 1;
    check(nc_->put_att_int(ncid_, NC_GLOBAL, "spin_up_days", NC_INT, 1, &spin_up_days), "write the attributes");
  }
  const int ncid = std::exchange(ncid_, -1);
  check(nc_->close(ncid), "close the file");
  publish(partial_, path_);
}

void write_budget_netcdf(const std::filesystem::path& directory, const ProcessIntegralTable& table,
                         const RunDescription& run) {
  const std::filesystem::path path = directory / "budgets.nc";
  const std::filesystem::path partial = partial_path(path);
  const NetcdfLibrary& nc = netcdf_library(path);
  int ncid = -1;
  const auto check = [&](int status, const std::string& doing) {
    if (status == NC_NOERR) return;
    if (ncid >= 0) nc.close(ncid);
    throw OutputError(partial.string() + ": cannot " + doing + ": " + nc.strerror(status));
  };
  check(nc.create(partial.c_str(), NC_CLOBBER | NC_NETCDF4, &ncid), "create the file");
  const std::size_t intervals = table.start_h.size();
  const std::size_t processes = table.names.size();
  int dims[2] = {-1, -1};
  int bounds_dim = -1;
  check(nc.def_dim(ncid, "time_interval", intervals, &dims[0]), "define time_interval");
  check(nc.def_dim(ncid, "reaction", processes, &dims[1]), "define reaction");
  check(nc.def_dim(ncid, "nv", 2, &bounds_dim), "define nv");
  int status = NC_NOERR;
  int integral = -1, name_var = -1, equation_var = -1, start_var = -1, end_var = -1, bounds_var = -1;
  check(nc.def_var(ncid, "reaction_rate_integral", NC_DOUBLE, 2, dims, &integral), "define reaction_rate_integral");
  put_text(nc, ncid, integral, "long_name", "integral of the process rate over the output interval", status);
  put_text(nc, ncid, integral, "units", "1e-9", status);
  put_text(nc, ncid, integral, "comment",
           "molecules cm-3 divided by the air number density of each chemistry step, times 1e9 (ppb)", status);
  check(nc.def_var(ncid, "reaction", NC_STRING, 1, &dims[1], &name_var), "define reaction");
  put_text(nc, ncid, name_var, "long_name", "process: R<number> for a reaction, <kind>_<species> otherwise", status);
  check(nc.def_var(ncid, "equation", NC_STRING, 1, &dims[1], &equation_var), "define equation");
  put_text(nc, ncid, equation_var, "long_name", "the reaction's equation", status);
  check(nc.def_var(ncid, "start_h", NC_DOUBLE, 1, &dims[0], &start_var), "define start_h");
  put_text(nc, ncid, start_var, "long_name", "local time at the start of the interval", status);
  put_text(nc, ncid, start_var, "units", "h", status);
  put_text(nc, ncid, start_var, "comment", "hours since the start day's midnight", status);
  check(nc.def_var(ncid, "end_h", NC_DOUBLE, 1, &dims[0], &end_var), "define end_h");
  put_text(nc, ncid, end_var, "long_name", "local time at the end of the interval", status);
  put_text(nc, ncid, end_var, "units", "h", status);
  put_text(nc, ncid, end_var, "comment", "hours since the start day's midnight", status);
  const int bdims[2] = {dims[0], bounds_dim};
  check(nc.def_var(ncid, "time_bounds", NC_DOUBLE, 2, bdims, &bounds_var), "define time_bounds");
  put_text(nc, ncid, bounds_var, "units", seconds_since_units(run.year, run.day_of_year, run.start_hour), status);
  put_text(nc, ncid, bounds_var, "calendar", "standard", status);
  put_text(nc, ncid, NC_GLOBAL, "Conventions", "CF-1.8", status);
  put_text(nc, ncid, NC_GLOBAL, "title", "integrated process rates of a box-model run", status);
  put_text(nc, ncid, NC_GLOBAL, "source", "boxmodel " + run.program_version, status);
  if (!run.kernels.empty()) put_text(nc, ncid, NC_GLOBAL, "kernels", run.kernels, status);
  for (const auto& [key, value] : run.scenario) put_text(nc, ncid, NC_GLOBAL, "scenario." + key, value, status);
  check(status, "write the attributes");
  check(nc.enddef(ncid), "end the definitions");

  if (intervals > 0 && processes > 0) {
    const std::size_t start[2] = {0, 0};
    const std::size_t count[2] = {intervals, processes};
    check(nc.put_vara_double(ncid, integral, start, count, table.ppb.data()), "write reaction_rate_integral");
  }
  std::vector<const char*> names, equations;
  for (const std::string& n : table.names) names.push_back(n.c_str());
  for (const std::string& e : table.equations) equations.push_back(e.c_str());
  if (processes > 0) {
    check(nc.put_var_string(ncid, name_var, names.data()), "write reaction");
    check(nc.put_var_string(ncid, equation_var, equations.data()), "write equation");
  }
  if (intervals > 0) {
    check(nc.put_var_double(ncid, start_var, table.start_h.data()), "write start_h");
    check(nc.put_var_double(ncid, end_var, table.end_h.data()), "write end_h");
    std::vector<double> bounds;
    for (std::size_t i = 0; i < intervals; ++i) {
      bounds.push_back((table.start_h[i] - run.start_hour) * 3600.0);
      bounds.push_back((table.end_h[i] - run.start_hour) * 3600.0);
    }
    check(nc.put_var_double(ncid, bounds_var, bounds.data()), "write time_bounds");
  }
  const int closing = nc.close(ncid);
  ncid = -1;
  check(closing, "close the file");
  publish(partial, path);
}

}  // namespace box
