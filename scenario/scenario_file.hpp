#pragma once
// Scenario files (TOML) and the other ways of setting scenario keys.
//
// A scenario file names keys in sections ([time] step_seconds = 600); the
// same keys can be set from elsewhere in dotted form ("time.step_seconds")
// by the command line, an ensemble's member table or the Python interface.
// Every key is optional and defaults to the model's own day. Every value is
// checked before anything runs: a wrong key, type or range is a
// ScenarioError naming the file, the line and the key.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "scenario/scenario.hpp"

namespace box {

// A value set from outside the file, by dotted key.
struct KeyOverride {
  using Value = std::variant<bool, std::int64_t, double, std::string, std::vector<std::string>>;
  std::string key;    // "time.step_seconds"
  Value value;
  // Where the value comes from, for messages ("command line --step",
  // "members.csv: line 4"). Relative paths among override values are taken
  // relative to the working directory, not the scenario file's folder.
  std::string origin;
};

// Reads and checks the scenario file at `path`, then the overrides in
// order. Relative paths in the file are relative to the file's folder.
Scenario read_scenario_file(const std::filesystem::path& path,
                            const std::vector<KeyOverride>& overrides = {});

// The same from TOML text; `source` names it in messages and `base_dir` is
// the folder its relative paths start from. The sections at the dotted
// paths `replaced` ("initial", "chemistry.rate_factors") are taken out of
// the text first: the overrides alone give them.
Scenario parse_scenario(std::string_view toml_text, const std::string& source,
                        const std::filesystem::path& base_dir,
                        const std::vector<KeyOverride>& overrides = {},
                        const std::vector<std::string>& replaced = {});

// The default scenario with the overrides applied.
Scenario scenario_from_overrides(const std::vector<KeyOverride>& overrides);

// The scenario as a TOML document that reads back to the same scenario
// (paths as they are, already resolved).
std::string scenario_to_toml(const Scenario& scenario);

// Every key with its value as text, in dotted form and file order
// ("time.step_seconds" -> "300"), for the records of output files.
std::vector<std::pair<std::string, std::string>> describe_scenario(const Scenario& scenario);

}  // namespace box
