#pragma once
// The parts of the program that bring large libraries with them (the
// netCDF writers, the MPI transport) are shared modules loaded when first
// needed, so that a process that never writes a NetCDF file or runs over
// MPI never maps those libraries (start-up time; see docs/performance.md).
//
// A module is looked for next to the object that asks for it (the program,
// or the Python extension), then in the module folder relative to it (the
// build tree's and the install's <libdir>/boxmodel), then on the library
// search path. Each module exports one table of plain function pointers,
// under a C name.
#include <string>
#include <string_view>

namespace box {

struct LoadedModule {
  const void* table = nullptr;  // the module's table, nullptr when not loaded
  std::string error;            // why not, naming the module and where it was looked for
};

// Loads `file_name` (e.g. "libboxmodel_netcdf.so") and finds its table
// named `symbol`.
// `global`: the module's libraries' symbols are made available to the
// libraries they load in turn (MPI's components need this). The module
// stays loaded for the life of the process.
LoadedModule load_module(std::string_view file_name, const char* symbol, bool global = false);

}  // namespace box
