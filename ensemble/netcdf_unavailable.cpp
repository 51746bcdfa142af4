// ensemble.nc in a program built without the netCDF library: it can only
// say so.
#include "common/errors.hpp"
#include "ensemble/isopleths.hpp"
#include "ensemble/outputs.hpp"

namespace box::ensemble {

std::unique_ptr<OutputFile> open_netcdf(const std::filesystem::path& dir, const Layout&) {
  throw OutputError((dir / netcdf_name).string() +
                    ": cannot be written: this program was built without NetCDF "
                    "(install the netCDF C library, e.g. libnetcdf-dev, and rebuild)");
}

void write_isopleths_netcdf(const std::filesystem::path& dir, const Isopleths&, const std::vector<double>&) {
  throw OutputError((dir / isopleths_netcdf_name).string() +
                    ": cannot be written: this program was built without NetCDF "
                    "(install the netCDF C library, e.g. libnetcdf-dev, and rebuild)");
}

}  // namespace box::ensemble
