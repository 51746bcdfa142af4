#pragma once
// An ensemble: a base scenario, and the members built from it by a table of
// overrides (one row per member, one column per dotted scenario key), by
// random rate factors, or both; and what the ensemble writes.
//
//   base = "scenario.toml"        relative to the ensemble file
//   members = "members.csv"       relative to the ensemble file
//   [monte_carlo]
//   members = 1000                (must equal the table's rows if both)
//   seed = 42
//   uncertainty = { default = 1.25, R23 = 1.1 }
//   [output]
//   dir = "ensemble-out"          relative to the ensemble file
//   species = ["O3", "NO"]        for every member, over the base's choice
//   every_seconds = 3600          likewise
//   formats = ["netcdf", "csv"]
//
// Member k (counted from 0) is the table's k-th data row. Its scenario is
// the base file read with the row's cells as overrides (a cell that reads
// as a number is a number, "true" and "false" are booleans, anything else
// is text; relative paths are taken from the table's folder), then the
// ensemble's output keys; its random factors multiply the rate factors the
// base and the row give.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/mechanism_loading.hpp"
#include "scenario/scenario_file.hpp"

namespace box::ensemble {

// The members table: the keys of its header and the cells of its rows.
struct MembersTable {
  std::filesystem::path file;
  std::vector<std::string> keys;
  int header_line = 1;  // line of the header in the file, for messages
  struct Row {
    int line = 0;  // line number in the file, for messages
    // How messages name the row where it comes from no file ("row 0
    // (index 'a')"); empty: by its line.
    std::string label;
    std::vector<KeyOverride::Value> cells;
  };
  std::vector<Row> rows;
};

// Random rate factors: ln k ~ Normal(ln k0, ln f) for each reaction with an
// uncertainty factor f.
struct MonteCarlo {
  std::size_t members = 0;  // 0: as many as the table has rows
  std::uint64_t seed = 0;
  // (reaction number, f) in increasing reaction number; f >= 1: every
  // reaction of the mechanism in use that has an uncertainty.
  std::vector<std::pair<int, double>> uncertainty;
};

// The uncertainty factors of a mechanism of `reactions` reactions:
// `named` ((reaction number, f), any order) where given, `fallback` for the
// others (0: no uncertainty), in increasing reaction number. A named
// reaction beyond the mechanism's is a ScenarioError "<where>.R<n>: no
// reaction of that name (expected R1 to R<reactions>)".
std::vector<std::pair<int, double>> uncertainty_factors(int reactions, double fallback,
                                                        const std::vector<std::pair<int, double>>& named,
                                                        const std::string& where);

struct Definition {
  std::filesystem::path file;  // the ensemble file, as given
  std::filesystem::path base;  // the base scenario, resolved
  std::string base_text;       // its TOML text, read once
  std::optional<MembersTable> table;
  std::optional<MonteCarlo> monte_carlo;

  std::filesystem::path output_dir;
  std::optional<std::vector<std::string>> species;
  std::optional<int> every_seconds;
  bool write_netcdf = true;
  bool write_csv = false;
  // Keys the command line sets (`boxmodel ensemble --kernels`): for the
  // base and every member, over the members table.
  std::vector<KeyOverride> command_line;

  // The base scenario's mechanism file, read once for every member (null
  // for the built-in mechanism; members that name another file read it).
  std::shared_ptr<const LoadedMechanism> mechanism;

  std::size_t members() const;
};

// Reads the base scenario's mechanism file into d.mechanism, if it names
// one. Throws InputError (ScenarioError) for a base that is not valid or a
// file that cannot be read.
void load_base_mechanism(Definition& d);

// The number of reactions of the base scenario's mechanism (after
// load_base_mechanism()).
int reaction_count(const Definition& d);

// Reads and checks the ensemble file, the base scenario's text and the
// members table. Throws InputError (ScenarioError) naming the file, the
// line and the key. `command_line`: Definition::command_line.
Definition read_definition(const std::filesystem::path& file, std::vector<KeyOverride> command_line = {});

// Reads a members table (CSV: a header of dotted keys, then one row per
// member; blank lines and lines starting with '#' are skipped; cells may be
// double-quoted). Throws InputError naming the file and the line.
MembersTable read_members_table(const std::filesystem::path& file);

// Where a row's values come from in messages: "<file>: line N", or the
// row's label.
std::string row_origin(const MembersTable& table, const MembersTable::Row& row);

// Checks the members table column by column against the base scenario
// before any member runs: a header that is no scenario key, or a cell whose
// value is not of its key's type (text in a number column), is an error of
// the table naming the column (and the row), not a failure of every
// member. Values of the right type but out of range stay the members' own
// failures. Throws ScenarioError.
void check_table_columns(const Definition& d);

// The overrides member `index` applies to the base, in order: its table
// row (origin "members.csv: line N: <key>"), then the ensemble's output
// keys.
std::vector<KeyOverride> member_overrides(const Definition& d, std::size_t index);

// The ensemble's output keys alone (species, every_seconds), as overrides.
std::vector<KeyOverride> output_overrides(const Definition& d);

// The scenario of member `index`, ready to run: base, overrides, random
// rate factors; nothing written by the run itself (no table, no progress
// lines, no files, no budgets). Throws ScenarioError when the member's values are not
// a valid scenario.
Scenario member_scenario(const Definition& d, std::size_t index);

// The same, as the member would be run alone with `boxmodel run`: the
// ensemble's output folder and the formats of the base.
Scenario member_scenario_for_run(const Definition& d, std::size_t index);

}  // namespace box::ensemble
