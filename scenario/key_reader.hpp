#pragma once
// Inside the scenario library: the checked reading of one TOML value, and
// the functions of each schema entry that read, describe and write its key.
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include <toml++/toml.h>

#include "scenario/scenario.hpp"
#include "scenario/schema.hpp"

namespace box {

// Reads values of a scenario table, checking them. Every failure names the
// file and line (or the origin of a value set from outside) and the key.
class KeyReader {
 public:
  KeyReader(std::string source, std::filesystem::path base_dir, std::map<std::string, std::string> override_origin)
      : source_(std::move(source)), base_(std::move(base_dir)), override_origin_(std::move(override_origin)) {}

  [[noreturn]] void fail(const toml::node* node, std::string_view key, const std::string& what) const;
  std::string where(const toml::node* node, std::string_view key) const;
  bool set_from_outside(const std::string& key) const { return override_origin_.count(key) > 0; }
  const std::string& source() const { return source_; }

  double number(const toml::node& node, std::string_view key) const;
  int whole_number(const toml::node& node, std::string_view key) const;
  std::string text(const toml::node& node, std::string_view key) const;
  bool boolean(const toml::node& node, std::string_view key) const;
  std::vector<std::string> strings(const toml::node& node, std::string_view key) const;
  // Relative to the file's folder unless set from outside the file.
  std::filesystem::path path(const toml::node& node, std::string_view key) const;
  // One of `words`, else "expected \"a\" or \"b\", found \"c\"".
  std::string word(const toml::node& node, std::string_view key, std::initializer_list<std::string_view> words) const;
  ValueSource value_source(const toml::node* node, std::string_view key) const;
  // An integrated species' mechanism index, else an error naming close names.
  int integrated_species(const toml::node& node, std::string_view key, std::string_view name) const;

  static const char* type_name(const toml::node& node);

  // The scenario runs a mechanism file: species names are kept as written
  // and checked against the file when the run starts.
  bool names_from_file() const { return names_from_file_; }
  void set_names_from_file(bool v) { names_from_file_ = v; }

 private:
  bool names_from_file_ = false;
  std::string source_;
  std::filesystem::path base_;
  std::map<std::string, std::string> override_origin_;
};

using Description = std::vector<std::pair<std::string, std::string>>;

// The value of a key of one value, as both writers take it: the output
// files' records describe it as text ("true", 300, 0.001, a path, names
// joined by commas), the TOML writer writes it as a value of its type.
using KeyValue = std::variant<bool, int, double, std::string, std::vector<std::string>>;

// Which writer asks for a key's value: a few keys are described in the
// records where they are left out of the TOML, or the other way round.
enum class Writer { description, toml };

// A schema entry with what the reader and writers do with its key. For a
// table, `read` and `check` are called once per item (`key` is then
// "initial.O3", `item` "O3"); `check` runs after the key's whole section is
// read, for checks against the section's other keys. A key of one value
// gives it by `value` (nothing: the writer leaves the key out); a table
// has no `value` and describes and writes its items itself.
struct KeyEntry {
  ScenarioKey key;
  void (*read)(const KeyReader& r, const toml::node& n, const std::string& key, std::string_view item, Scenario& s);
  std::optional<KeyValue> (*value)(const Scenario& s, Writer w);
  void (*describe)(const Scenario& s, Description& d) = nullptr;
  void (*write)(const Scenario& s, toml::table& root) = nullptr;
  void (*check)(const KeyReader& r, const toml::node& n, const std::string& key, const Scenario& s) = nullptr;
};

// The entry's key for the output files' records, and into a TOML table.
void describe_key(const KeyEntry& e, const Scenario& s, Description& d);
void write_key(const KeyEntry& e, const Scenario& s, toml::table& root);

std::span<const KeyEntry> key_entries();

// The table at dotted `path` of `root`, created when missing.
toml::table& table_at(toml::table& root, std::string_view path);

std::string format_number(double v);

// A value that is legal but implausible for the boundary layer's air, most
// likely a slip of units: what a note says of it after "<key>: " (the value,
// the bound and the likely slip), or empty. `quantity` is temperature_K,
// pressure_Pa, relative_humidity or deposition (a velocity, cm s-1).
std::string unit_slip(std::string_view quantity, double value);
std::string join(const std::vector<std::string>& names, std::string_view separator = ", ");

}  // namespace box
