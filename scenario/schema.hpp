#pragma once
// The scenario keys: one list that says what a scenario can set.
//
// Each key has one entry (scenario/schema.cpp): its dotted name, its type,
// its default, whether it is a path (read relative to the file that names
// it), a one-line description, a TOML example value and, for the common
// keys, its command-line option. The TOML reader, describe_scenario,
// scenario_to_toml, the command line, the ensemble's members tables and the
// Python sections all work from this list; adding a key is one entry there
// (with its read, describe and write functions) plus the code that uses the
// value.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace box {

enum class KeyType {
  boolean,
  number,
  whole_number,
  text,                 // one of a few words, listed in the description
  path,                 // a file or folder
  names,                // an array of strings
  species_selection,    // "table", "all" or an array of species names
  numbers_by_species,   // a table species = number: "initial.<species>"
  numbers_by_reaction,  // a table R<number> = number: "chemistry.rate_factors.R<n>"
  numbers_by_name,      // a table name = number, the names may hold dots: "rate_parameters.<name>"
  names_by_family,      // a table name = array of species: "output.families.<family>"
  family_constraints,   // a table name = { members, from_records | file_column }:
                        // "constraints.families.<family>"
};

struct ScenarioKey {
  // Dotted, as in messages and output records ("time.hours"). A table by
  // species or reaction ends in a placeholder, "<species>" or "R<n>":
  // "initial.<species>", "chemistry.rate_factors.R<n>".
  std::string_view name;
  KeyType type;
  // As describe_scenario writes it; empty when the key is unset by default
  // (a table, a file that is not given).
  std::string_view default_value;
  // Relative paths are resolved against the folder of the file that names
  // them: the scenario file, or an ensemble's members table.
  bool is_path;
  std::string_view doc;
  // A TOML value the key accepts (the placeholder's item is O3 or R27),
  // other than its default: the schema's own tests set every key to it.
  std::string_view example;
  // The command-line option of `boxmodel run` that sets it ("--hours"), or
  // empty. A boolean's option is a flag that sets the opposite of its
  // default.
  std::string_view option = {};
  std::string_view option_help = {};

  bool is_table() const {
    return type == KeyType::numbers_by_species || type == KeyType::numbers_by_reaction || type == KeyType::numbers_by_name ||
           type == KeyType::names_by_family || type == KeyType::family_constraints;
  }
  // "time" for "time.hours"; "dilution.background" for its table.
  std::string_view section() const { return name.substr(0, name.rfind('.')); }
  // "hours" for "time.hours"; "<species>" for a table.
  std::string_view last() const { return name.substr(name.rfind('.') + 1); }
};

// Every key, in the order describe_scenario lists them.
std::span<const ScenarioKey> scenario_keys();

// The entry that holds a dotted key as set ("initial.O3" is held by
// "initial.<species>"), or nullptr when no entry does.
const ScenarioKey* find_scenario_key(std::string_view dotted);

// Every section and sub-table ("site", ..., "chemistry.rate_factors",
// "dilution.background"), in schema order.
std::vector<std::string> scenario_sections();

}  // namespace box
