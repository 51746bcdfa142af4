#include "ensemble/definition.hpp"

#include <toml++/toml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include "common/csv.hpp"
#include "common/errors.hpp"
#include "ensemble/file_reader.hpp"
#include "ensemble/monte_carlo.hpp"
#include "mechanism/parameters.hpp"
#include "scenario/schema.hpp"

namespace box::ensemble {
namespace fs = std::filesystem;
namespace {

// The number of `R<n>`, or 0 when `name` is not of that form.
int reaction_number(std::string_view name) {
  if (name.size() < 2 || name[0] != 'R') return 0;
  int r = 0;
  const auto [end, ec] = std::from_chars(name.data() + 1, name.data() + name.size(), r);
  if (ec != std::errc{} || end != name.data() + name.size() || r < 1) return 0;
  return r;
}

// [monte_carlo] of a mechanism of `reactions` reactions: every one of
// them is drawn, a file's as the built-in mechanism's.
MonteCarlo read_monte_carlo(const Reader& r, const toml::table& t, int reactions) {
  r.check_keys(t, "monte_carlo", {"members", "seed", "uncertainty"});
  MonteCarlo mc;
  if (const auto* n = t.get("members")) mc.members = static_cast<std::size_t>(r.whole(*n, "monte_carlo.members", 1));
  if (const auto* n = t.get("seed")) mc.seed = static_cast<std::uint64_t>(r.whole(*n, "monte_carlo.seed", 0));
  else r.fail(&t, "monte_carlo.seed", "missing: a Monte-Carlo ensemble needs a seed");
  const auto* n = t.get("uncertainty");
  if (n == nullptr) r.fail(&t, "monte_carlo.uncertainty", "missing: expected { default = f, R<n> = f, ... }");
  if (!n->is_table()) r.fail(n, "monte_carlo.uncertainty", "expected a table { default = f, R<n> = f, ... }");
  std::vector<std::pair<int, double>> named;
  double fallback = 0.0;
  for (auto&& [key, node] : *n->as_table()) {
    const std::string name(key.str());
    const std::string full = "monte_carlo.uncertainty." + name;
    const double v = r.number(node, full);
    if (!(v >= 1.0)) r.fail(&node, full, "expected an uncertainty factor of 1 or more");
    if (name == "default") {
      fallback = v;
      continue;
    }
    const int reaction = reaction_number(name);
    if (reaction == 0 || reaction > reactions)
      r.fail(&node, full, "expected default or a reaction R1 to R" + std::to_string(reactions));
    named.emplace_back(reaction, v);
  }
  mc.uncertainty = uncertainty_factors(reactions, fallback, named, "monte_carlo.uncertainty");
  return mc;
}

// A cell's value: a number when the whole cell reads as one, a boolean for
// true and false, text otherwise.
KeyOverride::Value cell_value(const std::string& cell) {
  double v = 0;
  const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
  if (ec == std::errc{} && end == cell.data() + cell.size() && !cell.empty()) return v;
  if (cell == "true") return true;
  if (cell == "false") return false;
  return cell;
}

}  // namespace

std::size_t Definition::members() const {
  if (table) return table->rows.size();
  return monte_carlo ? monte_carlo->members : 0;
}

MembersTable read_members_table(const fs::path& file) {
  const std::string name = file.generic_string();
  const csv::Table table = csv::parse(read_text(file, "members table"), name);
  MembersTable t;
  t.file = file;
  for (const csv::Line& l : table.lines) {
    const int number = l.number;
    const std::string where = csv::position(name, number);
    const std::vector<csv::Cell>& cells = l.cells;
    if (t.keys.empty()) {
      t.header_line = number;
      for (const csv::Cell& cell : cells) {
        const std::string& key = cell.text;
        if (key.empty()) throw InputError(where + ": the header has an empty column name (expected dotted scenario keys)");
        if (std::find(t.keys.begin(), t.keys.end(), key) != t.keys.end())
          throw InputError(where + ": " + key + ": the column is named twice");
        t.keys.push_back(key);
      }
      continue;
    }
    if (cells.size() != t.keys.size())
      throw InputError(where + ": expected " + std::to_string(t.keys.size()) + " cells (one per column), found " +
                       std::to_string(cells.size()));
    MembersTable::Row row;
    row.line = number;
    for (std::size_t k = 0; k < cells.size(); ++k) {
      if (cells[k].text.empty())
        throw InputError(where + ": " + t.keys[k] + ": the cell is empty (expected a value)");
      row.cells.push_back(cells[k].quoted ? KeyOverride::Value(cells[k].text) : cell_value(cells[k].text));
    }
    t.rows.push_back(std::move(row));
  }
  if (t.keys.empty()) throw InputError(name + ": expected a header of dotted scenario keys, found no lines");
  if (t.rows.empty()) throw InputError(name + ": expected at least one member row after the header");
  return t;
}

Definition read_definition(const fs::path& file, std::vector<KeyOverride> command_line) {
  const std::string name = file.generic_string();
  const std::string text = read_text(file, "ensemble file");
  const toml::table root = parse_toml(text, name);
  const Reader r(file);
  r.check_keys(root, "", {"base", "members", "monte_carlo", "output"});
  const fs::path folder = file.parent_path();
  const auto resolve = [&](const std::string& p) { return fs::path(p).is_absolute() ? fs::path(p) : folder / p; };

  Definition d;
  d.file = file;
  d.command_line = std::move(command_line);
  const auto* base = root.get("base");
  if (base == nullptr) r.fail(nullptr, "base", "missing: expected the base scenario's file");
  d.base = resolve(r.text(*base, "base"));
  d.base_text = read_text(d.base, "base scenario");

  if (const auto* n = root.get("members")) d.table = read_members_table(resolve(r.text(*n, "members")));

  d.output_dir = folder / "ensemble-out";
  if (const auto* n = root.get("output")) {
    if (!n->is_table()) r.fail(n, "output", "expected a table ([output])");
    const toml::table& o = *n->as_table();
    r.check_keys(o, "output", {"dir", "species", "every_seconds", "formats"});
    if (const auto* v = o.get("dir")) d.output_dir = resolve(r.text(*v, "output.dir"));
    if (const auto* v = o.get("species")) {
      if (const auto* s = v->as_string()) d.species = std::vector<std::string>{s->get()};
      else d.species = r.strings(*v, "output.species");
    }
    if (const auto* v = o.get("every_seconds"))
      d.every_seconds = static_cast<int>(r.whole(*v, "output.every_seconds", 1));
    if (const auto* v = o.get("formats")) {
      d.write_netcdf = d.write_csv = false;
      for (const std::string& f : r.strings(*v, "output.formats")) {
        if (f == "netcdf") d.write_netcdf = true;
        else if (f == "csv") d.write_csv = true;
        else r.fail(v, "output.formats", "expected \"netcdf\" or \"csv\", found \"" + f + "\"");
      }
      if (!d.write_netcdf && !d.write_csv) r.fail(v, "output.formats", "expected at least one format");
    }
  }
  load_base_mechanism(d);
  if (const auto* n = root.get("monte_carlo")) {
    if (!n->is_table()) r.fail(n, "monte_carlo", "expected a table ([monte_carlo])");
    d.monte_carlo = read_monte_carlo(r, *n->as_table(), reaction_count(d));
    if (d.table && d.monte_carlo->members != 0 && d.monte_carlo->members != d.table->rows.size())
      r.fail(n->as_table()->get("members"), "monte_carlo.members",
             "the members table has " + std::to_string(d.table->rows.size()) +
                 " rows; leave monte_carlo.members out or make it equal");
    if (!d.table && d.monte_carlo->members == 0)
      r.fail(n, "monte_carlo.members", "missing: without a members table the ensemble needs its size");
  }
  if (!d.table && !d.monte_carlo) r.fail(nullptr, "members", "missing: expected a members table, [monte_carlo], or both");
  check_table_columns(d);
  return d;
}

std::vector<std::pair<int, double>> uncertainty_factors(int reactions, double fallback,
                                                        const std::vector<std::pair<int, double>>& named,
                                                        const std::string& where) {
  std::vector<double> f(static_cast<std::size_t>(reactions) + 1, 0.0);
  for (const auto& [reaction, v] : named) {
    if (reaction < 1 || reaction > reactions)
      throw ScenarioError(where + ".R" + std::to_string(reaction) + ": no reaction of that name (expected R1 to R" +
                          std::to_string(reactions) + ")");
    f[static_cast<std::size_t>(reaction)] = v;
  }
  std::vector<std::pair<int, double>> out;
  for (int k = 1; k <= reactions; ++k) {
    const double v = f[static_cast<std::size_t>(k)] > 0.0 ? f[static_cast<std::size_t>(k)] : fallback;
    if (v > 0.0) out.emplace_back(k, v);
  }
  return out;
}

int reaction_count(const Definition& d) { return catalogue(d.mechanism.get()).reaction_count(); }

std::string row_origin(const MembersTable& table, const MembersTable::Row& row) {
  return table.file.generic_string() + ": " + (row.label.empty() ? "line " + std::to_string(row.line) : row.label);
}

namespace {

// The messages of the scenario reader that say a key does not exist, or a
// value is not of the key's type (as against out of its range).
bool names_no_key(const std::string& message) {
  for (const char* what : {": unknown key", ": no species of that name", ": no reaction of that name",
                           " is not a section"})
    if (message.find(what) != std::string::npos) return true;
  return false;
}

bool wrong_type(const std::string& message) {
  for (const char* what : {": expected a number, found ", ": expected a string, found ",
                           ": expected true or false, found ", ": expected an array of strings, found "})
    if (message.find(what) != std::string::npos) return true;
  return false;
}

}  // namespace

void check_table_columns(const Definition& d) {
  if (!d.table) return;
  const MembersTable& t = *d.table;
  const std::string base = d.base.generic_string();
  const fs::path folder = d.base.parent_path();
  for (std::size_t k = 0; k < t.keys.size(); ++k) {
    const std::string column = "column " + std::to_string(k + 1);
    // One cell of each kind (number, text, boolean) in the column stands for
    // all of its kind: whether the key exists and takes that kind.
    std::vector<std::size_t> kinds_seen;
    for (const MembersTable::Row& row : t.rows) {
      const KeyOverride::Value& cell = row.cells.at(k);
      const std::size_t kind = std::holds_alternative<std::int64_t>(cell) ? 2 : cell.index();  // a number
      if (std::find(kinds_seen.begin(), kinds_seen.end(), kind) != kinds_seen.end()) continue;
      kinds_seen.push_back(kind);
      const std::string origin = row_origin(t, row) + ": " + column;
      try {
        static_cast<void>(parse_scenario(d.base_text, base, folder, {{t.keys[k], cell, origin}}));
      } catch (const ScenarioError& e) {
        const std::string message = e.what();
        if (wrong_type(message)) throw;
        if (!names_no_key(message)) continue;  // the member's own failure
        // A key that does not exist is the header's fault.
        const std::string header = t.file.generic_string() + ": " +
                                   (row.label.empty() ? "line " + std::to_string(t.header_line) + ": " : "") +
                                   column;
        throw ScenarioError(message.starts_with(origin) ? header + message.substr(origin.size()) : message);
      }
    }
  }
}

std::vector<KeyOverride> member_overrides(const Definition& d, std::size_t index) {
  std::vector<KeyOverride> v;
  if (d.table) {
    const MembersTable& t = *d.table;
    const MembersTable::Row& row = t.rows.at(index);
    const std::string origin = row_origin(t, row);
    const fs::path folder = t.file.parent_path();
    for (std::size_t k = 0; k < t.keys.size(); ++k) {
      KeyOverride o{t.keys[k], row.cells[k], origin};
      // Files named in the table are found next to the table.
      const ScenarioKey* key = find_scenario_key(t.keys[k]);
      if (const auto* s = std::get_if<std::string>(&o.value);
          s != nullptr && key != nullptr && key->is_path && fs::path(*s).is_relative())
        o.value = (folder / *s).generic_string();
      v.push_back(std::move(o));
    }
  }
  for (KeyOverride& o : output_overrides(d)) v.push_back(std::move(o));
  return v;
}

std::vector<KeyOverride> output_overrides(const Definition& d) {
  std::vector<KeyOverride> v;
  const std::string origin = d.file.generic_string() + ": [output]";
  if (d.species) {
    const std::vector<std::string>& s = *d.species;
    if (s.size() == 1 && (s[0] == "table" || s[0] == "all")) v.push_back({"output.species", s[0], origin});
    else v.push_back({"output.species", s, origin});
  }
  if (d.every_seconds) v.push_back({"output.every_seconds", static_cast<double>(*d.every_seconds), origin});
  v.insert(v.end(), d.command_line.begin(), d.command_line.end());
  return v;
}

Scenario member_scenario_for_run(const Definition& d, std::size_t index) {
  Scenario s = parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path(), member_overrides(d, index));
  if (d.monte_carlo) apply_factors(s, random_factors(*d.monte_carlo, index));
  s.output.dir = d.output_dir;
  return s;
}

Scenario member_scenario(const Definition& d, std::size_t index) {
  Scenario s = member_scenario_for_run(d, index);
  s.output.formats.clear();
  s.output.progress_lines = false;
  // The ensemble's files carry no budgets; a member integrating them would
  // write budget files of its own, every member to the same names.
  s.output.budgets = false;
  return s;
}

void load_base_mechanism(Definition& d) {
  const Scenario base = parse_scenario(d.base_text, d.base.generic_string(), d.base.parent_path(),
                                       output_overrides(d));
  d.mechanism = base.chemistry.builtin_mechanism()
                    ? nullptr
                    : load_mechanism(*base.chemistry.mechanism_file, base.chemistry.machine_code());
}

}  // namespace box::ensemble
