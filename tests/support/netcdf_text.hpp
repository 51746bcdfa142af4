#pragma once
// Text attributes of the NetCDF files a run writes, read back (only where
// the tests are built with the netCDF library).
#ifdef BOXMODEL_HAVE_NETCDF
#include <netcdf.h>

#include <cstddef>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace box::testing {

// Attribute `name` of variable `var` ("": a global attribute) of the open
// file, or "(none)".
inline std::string netcdf_text(int ncid, const std::string& var, const std::string& name) {
  int id = NC_GLOBAL;
  if (!var.empty()) {
    EXPECT_EQ(nc_inq_varid(ncid, var.c_str(), &id), NC_NOERR) << var;
  }
  std::size_t length = 0;
  if (nc_inq_attlen(ncid, id, name.c_str(), &length) != NC_NOERR) return "(none)";
  std::string text(length, ' ');
  EXPECT_EQ(nc_get_att_text(ncid, id, name.c_str(), text.data()), NC_NOERR);
  return text;
}

// Global attribute `name` of the file, or "(none)".
inline std::string netcdf_global_text(const std::filesystem::path& file, const std::string& name) {
  int ncid = -1;
  EXPECT_EQ(nc_open(file.c_str(), NC_NOWRITE, &ncid), NC_NOERR) << file;
  const std::string text = netcdf_text(ncid, "", name);
  nc_close(ncid);
  return text;
}

}  // namespace box::testing
#endif
