#pragma once
// The netCDF C library's functions the NetCDF outputs call (species.nc,
// budgets.nc, ensemble.nc), as a table filled by the module
// libboxmodel_netcdf.so (netcdf_module.cpp), which alone links the library.
// The module, and with it netCDF and HDF5, is loaded when the first NetCDF
// file is written, so that the processes that write none do not pay for
// mapping them at start-up. The constants (NC_DOUBLE, NC_NOERR, ...) are
// the header's, compiled in.
#include <netcdf.h>

#include <cstddef>
#include <filesystem>
#include <string>

namespace box {

struct NetcdfLibrary {
  std::size_t size;  // sizeof(NetcdfLibrary) where the module was built: a stale module is refused
  decltype(&nc_create) create;
  decltype(&nc_close) close;
  decltype(&nc_enddef) enddef;
  decltype(&nc_strerror) strerror;
  decltype(&nc_def_dim) def_dim;
  decltype(&nc_def_var) def_var;
  decltype(&nc_put_att_text) put_att_text;
  decltype(&nc_put_att_double) put_att_double;
  decltype(&nc_put_att_int) put_att_int;
  decltype(&nc_put_var1_double) put_var1_double;
  decltype(&nc_put_var_double) put_var_double;
  decltype(&nc_put_var_string) put_var_string;
  decltype(&nc_put_vara_double) put_vara_double;
  decltype(&nc_put_vara_int) put_vara_int;
  decltype(&nc_put_vara_text) put_vara_text;
  decltype(&nc_sync) sync;
};

inline constexpr const char* netcdf_module_name = "libboxmodel_netcdf.so";

// The library, loaded on the first call. Throws OutputError
// "<file>: cannot be written: ..." saying why when the module cannot be
// loaded.
const NetcdfLibrary& netcdf_library(const std::filesystem::path& file);

// "" when the module loads, otherwise why it does not.
const std::string& netcdf_load_error();

}  // namespace box

extern "C" {
// The module's table (defined in netcdf_module.cpp).
extern const box::NetcdfLibrary boxmodel_netcdf_library;
}
