#pragma once
#include <filesystem>

namespace box {

// The whole program: floating-point environment, a model day in `dir`
// (standard output for the progress lines), errors reported on standard
// error. Returns the exit status.
int run_program(const std::filesystem::path& dir);

}  // namespace box
