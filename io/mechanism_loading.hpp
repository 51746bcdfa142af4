#pragma once
// Loading a mechanism file: read, derived, machine code written, catalogued.
#include <filesystem>
#include <memory>

#include "mechanism/loaded_mechanism.hpp"

namespace box {

// Reads and derives the file and, with `machine_code` ([chemistry] kernels
// = "auto"), writes its machine code where this processor and system allow
// it; without, none is written and the loops serve. Throws InputError
// naming file, line and column.
std::shared_ptr<LoadedMechanism> load_mechanism(const std::filesystem::path& file, bool machine_code = true);

}  // namespace box
