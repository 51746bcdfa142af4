#include "output/netcdf_writer.hpp"

#include <netcdf.h>

#include <string>
#include <utility>

#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "output/partial_file.hpp"
#include "output/species_selection.hpp"
#include "output/variable_attributes.hpp"

namespace box {
namespace {

void put_text(int ncid, int var, const std::string& name, std::string_view value, int& status) {
  if (status == NC_NOERR)
    status = nc_put_att_text(ncid, var, name.c_str(), value.size(), value.data());
}

}  // namespace

bool netcdf_available() { return true; }

NetcdfSpeciesWriter::NetcdfSpeciesWriter(std::filesystem::path directory, std::vector<int> species)
    : path_(std::move(directory) / file_name),
      partial_(partial_path(path_)),
      species_(std::move(species)) {
  check_species_indices(species_);
}

NetcdfSpeciesWriter::~NetcdfSpeciesWriter() {
  // Not finished: the run failed. The .partial file stays as far as it got.
  if (ncid_ >= 0) nc_close(ncid_);
}

void NetcdfSpeciesWriter::check(int status, std::string_view doing) const {
  if (status != NC_NOERR)
    throw OutputError(partial_.string() + ": cannot " + std::string(doing) + ": " +
                      nc_strerror(status));
}

void NetcdfSpeciesWriter::begin(const RunDescription& run) {
  if (ncid_ >= 0) nc_close(ncid_);
  ncid_ = -1;
  records_ = 0;
  remove_earlier(path_);
  int ncid = -1;
  check(nc_create(partial_.c_str(), NC_CLOBBER | NC_64BIT_OFFSET, &ncid), "create the file");
  ncid_ = ncid;

  int time_dim = -1;
  check(nc_def_dim(ncid_, "time", NC_UNLIMITED, &time_dim), "define the time dimension");
  const auto define = [&](const std::string& name) {
    int var = -1;
    check(nc_def_var(ncid_, name.c_str(), NC_DOUBLE, 1, &time_dim, &var),
          "define the variable " + name);
    return var;
  };

  int status = NC_NOERR;
  const auto put_all = [&](int var, const Attributes& attributes) {
    for (const auto& [name, value] : attributes) put_text(ncid_, var, name, value, status);
  };
  time_var_ = define("time");
  put_all(time_var_, time_attributes(run));

  species_vars_.clear();
  for (int ind : species_) {
    const int var = define(std::string(species_name(ind)));
    species_vars_.push_back(var);
    put_all(var, species_attributes(ind));
  }

  // temperature, pressure, cos_solar_zenith_angle, in the order of sample().
  int* const air_vars[] = {&temperature_var_, &pressure_var_, &coszen_var_};
  const std::vector<SampledVariable>& air = air_variables();
  for (std::size_t k = 0; k < air.size(); ++k) {
    *air_vars[k] = define(air[k].name);
    put_all(*air_vars[k], air[k].attributes);
  }
  put_all(NC_GLOBAL, global_attributes(run));
  check(status, "write the attributes");
  check(nc_enddef(ncid_), "write the file header");
}

void NetcdfSpeciesWriter::sample(const OutputSample& sample) {
  if (ncid_ < 0) throw OutputError(path_.string() + ": written before it was begun");
  const std::size_t record = records_;
  const auto put = [&](int var, double value) {
    check(nc_put_var1_double(ncid_, var, &record, &value), "write a record");
  };
  put(time_var_, sample.elapsed_s);
  for (std::size_t k = 0; k < species_.size(); ++k)
    put(species_vars_[k], sample.mole_fraction[at(species_[k])]);
  put(temperature_var_, sample.temperature);
  put(pressure_var_, sample.pressure);
  put(coszen_var_, sample.coszen);
  ++records_;
}

void NetcdfSpeciesWriter::finish() {
  if (ncid_ < 0) throw OutputError(path_.string() + ": finished before it was begun");
  const int ncid = std::exchange(ncid_, -1);
  check(nc_close(ncid), "close the file");
  publish(partial_, path_);
}

}  // namespace box
