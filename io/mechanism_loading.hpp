#pragma once
// Loading a mechanism file: read, derived, machine code written, catalogued.
#include <filesystem>
#include <memory>

#include "mechanism/loaded_mechanism.hpp"

namespace box {

// Reads and derives the file and writes its machine code. Throws InputError
// naming file, line and column.
std::shared_ptr<LoadedMechanism> load_mechanism(const std::filesystem::path& file);

}  // namespace box
