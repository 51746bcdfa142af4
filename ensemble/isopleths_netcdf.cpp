// isopleths.nc: the diagram as a CF grid, o3_ppb(nox_factor, voc_factor).
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "common/version.hpp"
#include "ensemble/isopleths.hpp"
#include "output/netcdf_library.hpp"
#include "output/partial_file.hpp"

namespace box::ensemble {
namespace {

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

class Writer {
 public:
  Writer(const std::filesystem::path& path, const std::filesystem::path& partial)
      : partial_(partial), nc_(netcdf_library(path)) {
    check(nc_.create(partial_.c_str(), NC_CLOBBER | NC_64BIT_OFFSET, &ncid_), "create the file");
  }
  ~Writer() {
    if (ncid_ >= 0) nc_.close(ncid_);
  }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  void check(int status, const std::string& doing) const {
    if (status != NC_NOERR) throw OutputError(partial_.string() + ": cannot " + doing + ": " + nc_.strerror(status));
  }
  void attribute(int var, const std::string& name, const std::string& value) {
    check(nc_.put_att_text(ncid_, var, name.c_str(), value.size(), value.data()), "write the attribute " + name);
  }
  int dimension(const std::string& name, std::size_t length) {
    int dim = -1;
    check(nc_.def_dim(ncid_, name.c_str(), length, &dim), "define the dimension " + name);
    return dim;
  }
  int variable(const std::string& name, std::initializer_list<int> dims) {
    int var = -1;
    const std::vector<int> d(dims);
    check(nc_.def_var(ncid_, name.c_str(), NC_DOUBLE, static_cast<int>(d.size()), d.data(), &var),
          "define the variable " + name);
    return var;
  }
  void put(int var, const std::vector<double>& values, const std::string& name) {
    check(nc_.put_var_double(ncid_, var, values.data()), "write " + name);
  }
  void end_definitions() { check(nc_.enddef(ncid_), "write the file header"); }
  void close() { check(nc_.close(std::exchange(ncid_, -1)), "close the file"); }
  const NetcdfLibrary& library() const { return nc_; }
  int id() const { return ncid_; }

 private:
  std::filesystem::path partial_;
  const NetcdfLibrary& nc_;
  int ncid_ = -1;
};

}  // namespace

void write_isopleths_netcdf(const std::filesystem::path& dir, const Isopleths& iso,
                            const std::vector<double>& o3_ppb) {
  const std::filesystem::path path = dir / isopleths_netcdf_name;
  const std::filesystem::path partial = partial_path(path);
  Writer w(path, partial);
  const int nox_dim = w.dimension("nox_factor", iso.nox.factors.size());
  const int voc_dim = w.dimension("voc_factor", iso.voc.factors.size());
  const auto axis = [&](const IsoplethAxis& a, int dim) {
    const int var = w.variable(a.name + "_factor", {dim});
    const std::string what = a.of == ScaledAmount::emissions ? "emissions" : "initial values";
    w.attribute(var, "long_name", "factor on the base scenario's " + what + " of " + joined(a.species));
    w.attribute(var, "units", "1");
    return var;
  };
  const int nox_var = axis(iso.nox, nox_dim);
  const int voc_var = axis(iso.voc, voc_dim);
  const int o3_var = w.variable("o3_ppb", {nox_dim, voc_dim});
  w.attribute(o3_var, "long_name", "ozone of the run, " + iso.ozone.text() + " of its output samples");
  w.attribute(o3_var, "units", "1e-9");
  const double missing = std::numeric_limits<double>::quiet_NaN();
  w.check(w.library().put_att_double(w.id(), o3_var, "_FillValue", NC_DOUBLE, 1, &missing), "write the fill value");

  const std::string program = std::string("boxmodel ") + program_version();
  w.attribute(NC_GLOBAL, "title", "Box model ozone isopleths");
  w.attribute(NC_GLOBAL, "Conventions", "CF-1.8");
  w.attribute(NC_GLOBAL, "source", program);
  w.attribute(NC_GLOBAL, "history", "written by " + program + " isopleths");
  w.attribute(NC_GLOBAL, "isopleth_file", iso.file.generic_string());
  w.attribute(NC_GLOBAL, "base_scenario", iso.ensemble.base.generic_string());
  w.attribute(NC_GLOBAL, "ozone_metric", iso.ozone.text());
  w.attribute(NC_GLOBAL, "nox_species", joined(iso.nox.species));
  w.attribute(NC_GLOBAL, "voc_species", joined(iso.voc.species));
  w.end_definitions();
  w.put(nox_var, iso.nox.factors, "nox_factor");
  w.put(voc_var, iso.voc.factors, "voc_factor");
  w.put(o3_var, o3_ppb, "o3_ppb");
  w.close();
  publish(partial, path);
}

}  // namespace box::ensemble
