#include "output/netcdf_library.hpp"

#include "common/errors.hpp"
#include "common/loadable_module.hpp"

namespace box {
namespace {

struct Loaded {
  const NetcdfLibrary* library = nullptr;
  std::string error;
};

// Loaded once per process, on first use; the table never changes after.
const Loaded& loaded() {
  static const Loaded once = [] {
    const LoadedModule m = load_module(netcdf_module_name, "boxmodel_netcdf_library");
    if (m.table == nullptr) return Loaded{nullptr, m.error};
    const auto* library = static_cast<const NetcdfLibrary*>(m.table);
    if (library->size != sizeof(NetcdfLibrary))
      return Loaded{nullptr, std::string(netcdf_module_name) + " is from another build of boxmodel"};
    return Loaded{library, {}};
  }();
  return once;
}

}  // namespace

const NetcdfLibrary& netcdf_library(const std::filesystem::path& file) {
  const Loaded& l = loaded();
  if (l.library == nullptr)
    throw OutputError(file.string() + ": cannot be written: the NetCDF support is unavailable: " + l.error);
  return *l.library;
}

const std::string& netcdf_load_error() { return loaded().error; }

}  // namespace box
