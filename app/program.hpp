#pragma once
#include <filesystem>
#include <optional>
#include <vector>

#include "scenario/scenario_file.hpp"

namespace box {

// The whole program without arguments: floating-point environment, the
// model's own day in `dir` (standard output for the progress lines),
// errors reported on standard error. Returns the exit status.
int run_program(const std::filesystem::path& dir);

// `boxmodel run`: the scenario file (or the default scenario) with the
// overrides; every input is read and checked before anything is written.
// Returns the exit status.
int run_scenario_program(const std::optional<std::filesystem::path>& scenario_file,
                         const std::vector<KeyOverride>& overrides);

// The command line: no arguments is the model's own day; otherwise a
// subcommand. Returns the exit status.
int main_program(int argc, char** argv);

}  // namespace box
