// The NetCDF writer of a program built without the netCDF library: it can
// only say so.
#include "common/errors.hpp"
#include "output/netcdf_writer.hpp"

namespace box {

bool netcdf_available() { return false; }

std::string netcdf_unavailable_reason() {
  return "this boxmodel was built without it (install libnetcdf-dev and rebuild)";
}

NetcdfSpeciesWriter::NetcdfSpeciesWriter(std::filesystem::path directory, std::vector<int>, bool, bool,
                                         std::vector<std::string>)
    : path_(std::move(directory) / file_name) {
  throw OutputError(path_.string() +
                    ": cannot be written: this program was built without NetCDF "
                    "(install the netCDF C library, e.g. libnetcdf-dev, and rebuild)");
}

NetcdfSpeciesWriter::~NetcdfSpeciesWriter() = default;
void NetcdfSpeciesWriter::begin(const RunDescription&) {}
void NetcdfSpeciesWriter::sample(const OutputSample&) {}
void NetcdfSpeciesWriter::finish() {}
void NetcdfSpeciesWriter::check(int, std::string_view) const {}

void write_budget_netcdf(const std::filesystem::path& directory, const ProcessIntegralTable&,
                         const RunDescription&) {
  throw OutputError((directory / "budgets.nc").string() +
                    ": cannot be written: this program was built without NetCDF");
}

}  // namespace box
