#pragma once
// `boxmodel mechanism`: the built-in mechanism as a file, and a check of a
// mechanism file before it is run.
#include <filesystem>

#include "mechanism/runtime_mechanism.hpp"

namespace box {

// `boxmodel mechanism export`: the built-in mechanism in the file format on
// standard output. Returns the exit status.
int export_mechanism_program();

// `boxmodel mechanism check FILE`: what the file holds, its warnings and
// every rate coefficient at `air` (photolysis frequencies 0) on standard
// output; a fault of the file on standard error, as the reader words it,
// with exit status 1 and nothing on standard output. Returns the exit status.
int check_mechanism_program(const std::filesystem::path& file, const MechanismAir& air);

}  // namespace box
