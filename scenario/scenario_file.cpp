#include "scenario/scenario_file.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include <toml++/toml.h>

#include "common/closest_names.hpp"
#include "common/format.hpp"
#include "common/one_based.hpp"
#include "mechanism/species_lookup.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {
namespace {

namespace fs = std::filesystem;

constexpr double default_mixing_height_m = 1000.0;

std::string join(const std::vector<std::string>& names, std::string_view separator = ", ") {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += separator;
    out += n;
  }
  return out;
}

std::vector<std::string_view> all_species_names() {
  return {mech::species_names.begin(), mech::species_names.end()};
}

std::string format_number(double v) { return full_precision(v); }

// Where a value came from: the file and line, or the origin of an override.
struct Origin {
  std::string text;
};

// Reads the sections of a scenario table into a Scenario, checking every
// key. Every failure names the file, the line and the key.
class ScenarioReader {
 public:
  ScenarioReader(std::string source, fs::path base_dir, const std::vector<KeyOverride>& overrides)
      : source_(std::move(source)), base_(std::move(base_dir)) {
    for (const KeyOverride& o : overrides) override_origin_[o.key] = o.origin;
  }

  Scenario read(const toml::table& root) {
    Scenario s;
    s.source = source_;
    check_keys(root, "", {"site", "time", "initial", "chemistry", "constraints", "emissions",
                          "deposition", "dilution", "output"});
    if (const toml::table* t = section(root, "site")) read_site(*t, s.site);
    if (const toml::table* t = section(root, "time")) read_time(*t, s.time);
    if (const toml::table* t = section(root, "initial")) read_initial(*t, s);
    if (const toml::table* t = section(root, "chemistry")) read_chemistry(*t, s.chemistry);
    if (const toml::table* t = section(root, "constraints")) read_constraints(*t, s.field);
    if (const toml::table* t = section(root, "emissions")) read_emissions(*t, s.field);
    if (const toml::table* t = section(root, "deposition")) read_deposition(*t, s.field);
    if (const toml::table* t = section(root, "dilution")) read_dilution(*t, s.field);
    // Emissions and deposition spread over the mixing layer; 1 km unless
    // the scenario says otherwise.
    if (!s.field.exchange.mixing_height_m) s.field.exchange.mixing_height_m = default_mixing_height_m;
    if (const toml::table* t = section(root, "output")) read_output(*t, s);
    check_time(root, s);
    return s;
  }

 private:
  [[noreturn]] void fail(const toml::node* node, std::string_view key, const std::string& what) const {
    throw ScenarioError(where(node, key) + ": " + std::string(key) + ": " + what);
  }

  std::string where(const toml::node* node, std::string_view key) const {
    if (const auto it = override_origin_.find(std::string(key)); it != override_origin_.end())
      return it->second;
    if (node != nullptr && node->source().begin.line > 0)
      return source_ + ": line " + std::to_string(node->source().begin.line);
    // A section that only keys set from outside made ("tim.hours" makes tim).
    const std::string section = std::string(key) + ".";
    for (const auto& [set_key, origin] : override_origin_)
      if (set_key.starts_with(section)) return origin;
    return source_;
  }

  static std::string dotted(std::string_view prefix, std::string_view key) {
    return prefix.empty() ? std::string(key) : std::string(prefix) + "." + std::string(key);
  }

  // Every key of `table` must be one of `allowed`.
  void check_keys(const toml::table& table, std::string_view prefix,
                  const std::vector<std::string>& allowed) const {
    for (auto&& [key, node] : table) {
      const std::string name(key.str());
      if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
      std::string what = "unknown key";
      const std::vector<std::string_view> names(allowed.begin(), allowed.end());
      const auto close = closest_names(name, names);
      if (!close.empty()) what += " (did you mean " + join(close, " or ") + "?)";
      else what += " (expected one of " + join(allowed) + ")";
      const std::string full = dotted(prefix, name);
      if (key.source().begin.line > 0 && !override_origin_.count(full))
        throw ScenarioError(source_ + ": line " + std::to_string(key.source().begin.line) + ": " +
                            full + ": " + what);
      fail(&node, full, what);
    }
  }

  const toml::table* section(const toml::table& root, std::string_view name) const {
    const toml::node* node = root.get(name);
    if (node == nullptr) return nullptr;
    if (!node->is_table()) fail(node, name, "expected a table ([" + std::string(name) + "])");
    return node->as_table();
  }

  double number(const toml::node& node, std::string_view key) const {
    if (const auto* i = node.as_integer()) return static_cast<double>(i->get());
    if (const auto* f = node.as_floating_point()) {
      if (!std::isfinite(f->get())) fail(&node, key, "expected a finite number, found " + format_number(f->get()));
      return f->get();
    }
    fail(&node, key, std::string("expected a number, found ") + type_name(node));
  }

  int whole_number(const toml::node& node, std::string_view key) const {
    const double v = number(node, key);
    if (v != std::floor(v) || std::abs(v) > std::numeric_limits<int>::max())
      fail(&node, key, "expected a whole number, found " + format_number(v));
    return static_cast<int>(v);
  }

  std::string text(const toml::node& node, std::string_view key) const {
    if (const auto* s = node.as_string()) return s->get();
    fail(&node, key, std::string("expected a string, found ") + type_name(node));
  }

  bool boolean(const toml::node& node, std::string_view key) const {
    if (const auto* b = node.as_boolean()) return b->get();
    fail(&node, key, std::string("expected true or false, found ") + type_name(node));
  }

  static const char* type_name(const toml::node& node) {
    switch (node.type()) {
      case toml::node_type::string: return "a string";
      case toml::node_type::integer: return "an integer";
      case toml::node_type::floating_point: return "a number";
      case toml::node_type::boolean: return "a boolean";
      case toml::node_type::array: return "an array";
      case toml::node_type::table: return "a table";
      default: return "a date or time";
    }
  }

  fs::path path(const toml::node& node, std::string_view key) const {
    const fs::path p = text(node, key);
    if (p.empty()) fail(&node, key, "expected a path, found an empty string");
    // Paths set from outside the file are taken as the user typed them.
    if (override_origin_.count(std::string(key)) || p.is_absolute() || base_.empty()) return p;
    return base_ / p;
  }

  void read_site(const toml::table& t, SiteSettings& site) const {
    check_keys(t, "site", {"parameters", "records", "records_layout"});
    if (const auto* n = t.get("parameters")) site.parameters = path(*n, "site.parameters");
    if (const auto* n = t.get("records")) site.records = path(*n, "site.records");
    if (const auto* n = t.get("records_layout")) {
      const std::string v = text(*n, "site.records_layout");
      if (v == "lines") site.records_layout = RecordsLayout::lines;
      else if (v == "free") site.records_layout = RecordsLayout::free;
      else fail(n, "site.records_layout", "expected \"lines\" or \"free\", found \"" + v + "\"");
    }
  }

  void read_time(const toml::table& t, TimeSettings& time) const {
    check_keys(t, "time", {"start_hour", "step_seconds", "hours"});
    if (const auto* n = t.get("start_hour")) {
      time.start_hour = number(*n, "time.start_hour");
      if (time.start_hour < 0.0 || time.start_hour >= 24.0)
        fail(n, "time.start_hour", "expected a local time from 0 up to 24 hours, found " +
                                       format_number(time.start_hour));
    }
    if (const auto* n = t.get("step_seconds")) {
      time.step_seconds = whole_number(*n, "time.step_seconds");
      if (time.step_seconds < 1 || 3600 % time.step_seconds != 0)
        fail(n, "time.step_seconds", "expected a whole number of seconds that divides 3600, found " +
                                         std::to_string(time.step_seconds));
    }
    if (const auto* n = t.get("hours")) {
      time.hours = number(*n, "time.hours");
      if (!(time.hours > 0.0) || time.hours > 24.0 * 366 * 100)
        fail(n, "time.hours", "expected a positive length in hours, found " + format_number(time.hours));
    }
  }

  // The run's length must be a whole number of steps.
  void check_time(const toml::table& root, const Scenario& s) const {
    const double steps = s.time.hours * 3600.0 / s.time.step_seconds;
    if (std::abs(steps - std::round(steps)) > 1e-9 * steps) {
      const toml::node* n = root.at_path("time.hours").node();
      fail(n, "time.hours", format_number(s.time.hours) + " hours is not a whole number of " +
                                std::to_string(s.time.step_seconds) + " s steps");
    }
    if (s.output.every_seconds % s.time.step_seconds != 0) {
      const toml::node* n = root.at_path("output.every_seconds").node();
      fail(n, "output.every_seconds",
           "expected a multiple of the step (" + std::to_string(s.time.step_seconds) + " s), found " +
               std::to_string(s.output.every_seconds));
    }
  }

  void read_initial(const toml::table& t, Scenario& s) const {
    for (auto&& [key, node] : t) {
      const std::string name(key.str());
      const std::string full = "initial." + name;
      if (name == "from_first_record") {
        s.field.initial_from_first_record = boolean(node, full);
        continue;
      }
      const int index = find_species(name).value_or(0);
      if (index == 0) {
        std::string what = "no species of that name";
        const auto close = closest_names(name, all_species_names());
        if (!close.empty()) what += " (close: " + join(close) + ")";
        fail(&node, full, what);
      }
      if (index == nspec) fail(&node, full, "M is the air itself and cannot be set");
      const double ppb = number(node, full);
      if (ppb < 0.0) fail(&node, full, "expected a mole fraction of 0 ppb or more, found " + format_number(ppb));
      s.initial.push_back({index, ppb});
    }
  }

  void read_chemistry(const toml::table& t, ChemistrySettings& c) const {
    check_keys(t, "chemistry", {"method", "rtol", "atol", "photolysis_factor", "rate_factors"});
    if (const auto* n = t.get("method")) {
      c.method = text(*n, "chemistry.method");
      const auto& names = method_names();
      if (std::find(names.begin(), names.end(), c.method) == names.end())
        fail(n, "chemistry.method", "expected one of " + join(names) + ", found \"" + c.method + "\"");
    }
    const auto positive = [&](const char* name, const char* full, double& value) {
      if (const auto* n = t.get(name)) {
        value = number(*n, full);
        if (!(value > 0.0)) fail(n, full, "expected a positive number, found " + format_number(value));
        if (full == std::string_view("chemistry.rtol") && !(value < 1.0))
          fail(n, full, "expected a relative tolerance below 1, found " + format_number(value));
      }
    };
    positive("rtol", "chemistry.rtol", c.rtol);
    positive("atol", "chemistry.atol", c.atol);
    if (const auto* n = t.get("photolysis_factor")) {
      c.photolysis_factor = number(*n, "chemistry.photolysis_factor");
      if (c.photolysis_factor < 0.0)
        fail(n, "chemistry.photolysis_factor",
             "expected a factor of 0 or more, found " + format_number(c.photolysis_factor));
    }
    if (const auto* n = t.get("rate_factors")) {
      if (!n->is_table()) fail(n, "chemistry.rate_factors", "expected a table of R<number> = factor");
      std::map<int, double> factors;
      for (auto&& [key, node] : *n->as_table()) {
        const std::string name(key.str());
        const std::string full = "chemistry.rate_factors." + name;
        const int reaction = reaction_number(name);
        if (reaction == 0)
          fail(&node, full, "no reaction of that name (expected R1 to R" + std::to_string(nreact) + ")");
        const double f = number(node, full);
        if (f < 0.0) fail(&node, full, "expected a factor of 0 or more, found " + format_number(f));
        factors[reaction] = f;
      }
      c.rate_factors.clear();
      for (const auto& [r, f] : factors) c.rate_factors.push_back({r, f});
    }
  }

  ValueSource value_source(const toml::node* node, std::string_view key) const {
    ValueSource v;
    if (const auto it = override_origin_.find(std::string(key)); it != override_origin_.end()) {
      v.file = it->second;
    } else {
      v.file = source_;
      if (node != nullptr) v.line = static_cast<int>(node->source().begin.line);
    }
    v.key = std::string(key);
    return v;
  }

  void read_constraints(const toml::table& t, FieldSettings& f) const {
    check_keys(t, "constraints", {"from_records", "file", "interpolation", "species"});
    if (const auto* n = t.get("from_records")) {
      for (const std::string& name : strings(*n, "constraints.from_records")) {
        const auto& allowed = record_species;
        const auto* hit = std::find_if(std::begin(allowed), std::end(allowed), [&](const char* a) {
          return find_species(a) == find_species(name) && find_species(name).has_value();
        });
        if (hit == std::end(allowed))
          fail(n, "constraints.from_records",
               "\"" + name + "\" is not observed in the site records (they observe O3, NO, NO2, CO, "
               "HCHO and, as q2, H2O)");
        f.from_records.push_back({*hit, value_source(n, "constraints.from_records")});
      }
    }
    if (const auto* n = t.get("file")) {
      f.observations = path(*n, "constraints.file");
      f.observations_source = value_source(n, "constraints.file");
    }
    if (const auto* n = t.get("species")) {
      f.observation_species = strings(*n, "constraints.species");
      f.observation_species_source = value_source(n, "constraints.species");
      if (!f.observations) fail(n, "constraints.species", "names columns of an observation file, but no file is given");
    }
    if (const auto* n = t.get("interpolation")) {
      const std::string v = text(*n, "constraints.interpolation");
      if (v != "linear" && v != "step")
        fail(n, "constraints.interpolation", "expected \"linear\" or \"step\", found \"" + v + "\"");
      f.interpolation = interpolation_from_name(v, value_source(n, "constraints.interpolation"));
    }
  }

  // Species = value entries of a section, each with where it was given.
  std::vector<SpeciesSetting> species_values(const toml::table& t, std::string_view section,
                                             const std::vector<std::string>& other_keys) const {
    std::vector<SpeciesSetting> out;
    for (auto&& [key, node] : t) {
      const std::string name(key.str());
      if (std::find(other_keys.begin(), other_keys.end(), name) != other_keys.end()) continue;
      const std::string full = std::string(section) + "." + name;
      const int index = find_species(name).value_or(0);
      if (index < 1 || index > nvar) {
        std::string what = index == 0 ? "no species of that name" : "not an integrated species";
        const auto close = closest_names(name, all_species_names());
        if (index == 0 && !close.empty()) what += " (close: " + join(close) + ")";
        fail(&node, full, what);
      }
      out.push_back({std::string(mech::species_names[at(index)]), number(node, full), value_source(&node, full)});
    }
    return out;
  }

  void read_emissions(const toml::table& t, FieldSettings& f) const {
    f.exchange.emissions = species_values(t, "emissions", {"mixing_height_m", "profile"});
    if (const auto* n = t.get("mixing_height_m")) {
      const double h = number(*n, "emissions.mixing_height_m");
      if (!(h > 0.0)) fail(n, "emissions.mixing_height_m", "expected a positive height in m, found " + format_number(h));
      f.exchange.mixing_height_m = h;
      f.exchange.mixing_height_source = value_source(n, "emissions.mixing_height_m");
    }
    if (const auto* n = t.get("profile")) {
      f.emission_profile_source = value_source(n, "emissions.profile");
      const std::string v = text(*n, "emissions.profile");
      if (v != "constant" && v != "daylight")
        fail(n, "emissions.profile", "expected \"constant\" or \"daylight\", found \"" + v + "\"");
      f.emission_profile = emission_profile_from_name(text(*n, "emissions.profile"), f.emission_profile_source);
    }
  }

  void read_deposition(const toml::table& t, FieldSettings& f) const {
    f.exchange.deposition = species_values(t, "deposition", {});
  }

  void read_dilution(const toml::table& t, FieldSettings& f) const {
    check_keys(t, "dilution", {"rate_per_s", "background"});
    if (const auto* n = t.get("rate_per_s")) {
      f.exchange.dilution_per_s = number(*n, "dilution.rate_per_s");
      f.exchange.dilution_source = value_source(n, "dilution.rate_per_s");
      if (f.exchange.dilution_per_s < 0.0)
        fail(n, "dilution.rate_per_s", "expected a rate of 0 s-1 or more, found " + format_number(f.exchange.dilution_per_s));
    }
    if (const auto* n = t.get("background")) {
      if (!n->is_table()) fail(n, "dilution.background", "expected a table of species = ppb");
      f.exchange.background = species_values(*n->as_table(), "dilution.background", {});
    }
  }

  // "R27" -> 27; 0 unless the name is R followed by a reaction's number.
  static int reaction_number(std::string_view name) {
    if (name.size() < 2 || name.size() > 4 || name[0] != 'R' || name[1] == '0') return 0;
    int n = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return 0;
      n = n * 10 + (c - '0');
    }
    return n <= nreact ? n : 0;
  }

  std::vector<std::string> strings(const toml::node& node, std::string_view key) const {
    const toml::array* a = node.as_array();
    if (a == nullptr) fail(&node, key, std::string("expected an array of strings, found ") + type_name(node));
    std::vector<std::string> out;
    for (const toml::node& e : *a) out.push_back(text(e, key));
    return out;
  }

  void read_output(const toml::table& t, Scenario& s) const {
    OutputSettings& o = s.output;
    check_keys(t, "output", {"dir", "species", "every_seconds", "formats", "progress_lines", "budgets",
                             "budget_species"});
    if (const auto* n = t.get("dir")) o.dir = path(*n, "output.dir");
    if (const auto* n = t.get("species")) o.species = species_selection(*n);
    if (const auto* n = t.get("every_seconds")) {
      o.every_seconds = whole_number(*n, "output.every_seconds");
      if (o.every_seconds < 1)
        fail(n, "output.every_seconds", "expected a positive number of seconds, found " +
                                            std::to_string(o.every_seconds));
    }
    if (const auto* n = t.get("formats")) {
      o.formats.clear();
      for (const std::string& f : strings(*n, "output.formats")) {
        OutputFormat format;
        if (f == "table") format = OutputFormat::table;
        else if (f == "csv") format = OutputFormat::csv;
        else if (f == "netcdf") format = OutputFormat::netcdf;
        else fail(n, "output.formats", "expected \"table\", \"csv\" or \"netcdf\", found \"" + f + "\"");
        if (!o.wants(format)) o.formats.push_back(format);
      }
    }
    if (const auto* n = t.get("progress_lines")) o.progress_lines = boolean(*n, "output.progress_lines");
    if (const auto* n = t.get("budgets")) o.budgets = boolean(*n, "output.budgets");
    if (const auto* n = t.get("budget_species")) {
      o.budget_species.clear();
      for (const std::string& name : strings(*n, "output.budget_species")) {
        const int index = find_species(name).value_or(0);
        if (index < 1 || index > nvar) {
          std::string what = "\"" + name + "\" is no integrated species";
          const auto close = closest_names(name, all_species_names());
          if (index == 0 && !close.empty()) what += " (close: " + join(close) + ")";
          fail(n, "output.budget_species", what);
        }
        o.budget_species.emplace_back(mech::species_names[at(index)]);
      }
    }
  }

  SpeciesSelection species_selection(const toml::node& n) const {
    constexpr std::string_view key = "output.species";
    SpeciesSelection sel;
    if (n.is_string()) {
      const std::string v = text(n, key);
      if (v == "table") sel.kind = SpeciesSelection::Kind::table;
      else if (v == "all") sel.kind = SpeciesSelection::Kind::all;
      else fail(&n, key, "expected \"table\", \"all\" or a list of species names, found \"" + v + "\"");
      return sel;
    }
    sel.kind = SpeciesSelection::Kind::list;
    for (const std::string& name : strings(n, key)) {
      const int index = find_species(name).value_or(0);
      if (index == 0) {
        std::string what = "no species named \"" + name + "\"";
        const auto close = closest_names(name, all_species_names());
        if (!close.empty()) what += " (close: " + join(close) + ")";
        fail(&n, key, what);
      }
      if (std::find(sel.list.begin(), sel.list.end(), index) != sel.list.end())
        fail(&n, key, "\"" + name + "\" is listed twice");
      sel.list.push_back(index);
    }
    if (sel.list.empty()) fail(&n, key, "expected at least one species");
    return sel;
  }

  std::string source_;
  fs::path base_;
  std::map<std::string, std::string> override_origin_;
};

// Puts `value` at the dotted `key` of `root`, creating the sections.
void apply_override(toml::table& root, const KeyOverride& o) {
  toml::table* table = &root;
  std::string_view rest = o.key;
  for (std::size_t dot; (dot = rest.find('.')) != std::string_view::npos;) {
    const std::string part(rest.substr(0, dot));
    rest.remove_prefix(dot + 1);
    toml::node* next = table->get(part);
    if (next == nullptr) next = &table->insert_or_assign(part, toml::table{}).first->second;
    if (!next->is_table()) throw ScenarioError(o.origin + ": " + o.key + ": " + part + " is not a section");
    table = next->as_table();
  }
  const std::string last(rest);
  std::visit(
      [&](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::vector<std::string>>) {
          toml::array a;
          for (const std::string& s : v) a.push_back(s);
          table->insert_or_assign(last, std::move(a));
        } else {
          table->insert_or_assign(last, v);
        }
      },
      o.value);
}

Scenario read_table(toml::table& root, const std::string& source, const fs::path& base,
                    const std::vector<KeyOverride>& overrides) {
  for (const KeyOverride& o : overrides) apply_override(root, o);
  return ScenarioReader(source, base, overrides).read(root);
}

std::string format_path(const fs::path& p) { return p.generic_string(); }

const char* layout_name(RecordsLayout l) { return l == RecordsLayout::lines ? "lines" : "free"; }

const char* format_name(OutputFormat f) {
  switch (f) {
    case OutputFormat::table: return "table";
    case OutputFormat::csv: return "csv";
    case OutputFormat::netcdf: return "netcdf";
  }
  return "";
}

}  // namespace

Scenario parse_scenario(std::string_view toml_text, const std::string& source, const fs::path& base_dir,
                        const std::vector<KeyOverride>& overrides) {
  toml::table root;
  try {
    root = toml::parse(toml_text, source);
  } catch (const toml::parse_error& e) {
    throw ScenarioError(source + ": line " + std::to_string(e.source().begin.line) + ": " +
                        std::string(e.description()));
  }
  return read_table(root, source, base_dir, overrides);
}

Scenario read_scenario_file(const fs::path& path, const std::vector<KeyOverride>& overrides) {
  const std::string name = path.generic_string();
  std::error_code ignored;
  if (fs::is_directory(path, ignored)) throw ScenarioError(name + ": cannot read the scenario file: it is a directory");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(name + ": cannot read the scenario file: no such file or not readable");
  std::ostringstream text;
  text << in.rdbuf();
  return parse_scenario(text.str(), name, path.parent_path(), overrides);
}

Scenario scenario_from_overrides(const std::vector<KeyOverride>& overrides) {
  toml::table root;
  return read_table(root, "default scenario", fs::path(), overrides);
}

std::vector<std::pair<std::string, std::string>> describe_scenario(const Scenario& s) {
  std::vector<std::pair<std::string, std::string>> d;
  d.emplace_back("site.parameters", format_path(s.site.parameters));
  d.emplace_back("site.records", format_path(s.site.records));
  d.emplace_back("site.records_layout", layout_name(s.site.records_layout));
  d.emplace_back("time.start_hour", format_number(s.time.start_hour));
  d.emplace_back("time.step_seconds", std::to_string(s.time.step_seconds));
  d.emplace_back("time.hours", format_number(s.time.hours));
  for (const InitialValue& v : s.initial)
    d.emplace_back("initial." + std::string(mech::species_names[at(v.species)]), format_number(v.ppb));
  d.emplace_back("chemistry.method", s.chemistry.method);
  d.emplace_back("chemistry.rtol", format_number(s.chemistry.rtol));
  d.emplace_back("chemistry.atol", format_number(s.chemistry.atol));
  d.emplace_back("chemistry.photolysis_factor", format_number(s.chemistry.photolysis_factor));
  for (const RateFactor& f : s.chemistry.rate_factors)
    d.emplace_back("chemistry.rate_factors.R" + std::to_string(f.reaction), format_number(f.factor));
  const FieldSettings& f = s.field;
  if (f.initial_from_first_record) d.emplace_back("initial.from_first_record", "true");
  std::string held;
  for (const NamedSpecies& h : f.from_records) held += (held.empty() ? "" : ",") + h.species;
  if (!held.empty()) d.emplace_back("constraints.from_records", held);
  if (f.observations) {
    d.emplace_back("constraints.file", format_path(*f.observations));
    std::string columns;
    for (const std::string& c : f.observation_species) columns += (columns.empty() ? "" : ",") + c;
    if (!columns.empty()) d.emplace_back("constraints.species", columns);
  }
  if (f.constrained())
    d.emplace_back("constraints.interpolation", f.interpolation == Interpolation::linear ? "linear" : "step");
  if (f.open()) {
    d.emplace_back("emissions.mixing_height_m", format_number(f.exchange.mixing_height_m.value_or(0.0)));
    d.emplace_back("emissions.profile", f.emission_profile == EmissionProfile::daylight ? "daylight" : "constant");
  }
  for (const SpeciesSetting& e : f.exchange.emissions) d.emplace_back("emissions." + e.species, format_number(e.value));
  for (const SpeciesSetting& e : f.exchange.deposition) d.emplace_back("deposition." + e.species, format_number(e.value));
  if (f.exchange.dilution_per_s != 0.0 || !f.exchange.background.empty())
    d.emplace_back("dilution.rate_per_s", format_number(f.exchange.dilution_per_s));
  for (const SpeciesSetting& e : f.exchange.background)
    d.emplace_back("dilution.background." + e.species, format_number(e.value));
  d.emplace_back("output.dir", format_path(s.output.dir));
  std::string species;
  switch (s.output.species.kind) {
    case SpeciesSelection::Kind::table: species = "table"; break;
    case SpeciesSelection::Kind::all: species = "all"; break;
    case SpeciesSelection::Kind::list:
      for (int i : s.output.species.list) species += (species.empty() ? "" : ",") + std::string(mech::species_names[at(i)]);
      break;
  }
  d.emplace_back("output.species", species);
  d.emplace_back("output.every_seconds", std::to_string(s.output.every_seconds));
  std::string formats;
  for (OutputFormat f : s.output.formats) formats += (formats.empty() ? "" : ",") + std::string(format_name(f));
  d.emplace_back("output.formats", formats);
  d.emplace_back("output.progress_lines", s.output.progress_lines ? "true" : "false");
  d.emplace_back("output.budgets", s.output.budgets ? "true" : "false");
  if (s.output.budgets) {
    std::string names;
    for (const std::string& n : s.output.budget_species) names += (names.empty() ? "" : ",") + n;
    d.emplace_back("output.budget_species", names);
  }
  return d;
}

std::string scenario_to_toml(const Scenario& s) {
  toml::table root;
  root.insert("site", toml::table{{"parameters", format_path(s.site.parameters)},
                                  {"records", format_path(s.site.records)},
                                  {"records_layout", layout_name(s.site.records_layout)}});
  root.insert("time", toml::table{{"start_hour", s.time.start_hour},
                                  {"step_seconds", s.time.step_seconds},
                                  {"hours", s.time.hours}});
  toml::table initial;
  for (const InitialValue& v : s.initial) initial.insert_or_assign(mech::species_names[at(v.species)], v.ppb);
  root.insert("initial", std::move(initial));
  toml::table factors;
  for (const RateFactor& f : s.chemistry.rate_factors) factors.insert("R" + std::to_string(f.reaction), f.factor);
  root.insert("chemistry", toml::table{{"method", s.chemistry.method},
                                       {"rtol", s.chemistry.rtol},
                                       {"atol", s.chemistry.atol},
                                       {"photolysis_factor", s.chemistry.photolysis_factor},
                                       {"rate_factors", std::move(factors)}});
  const FieldSettings& f = s.field;
  if (f.initial_from_first_record) root["initial"].as_table()->insert("from_first_record", true);
  if (f.constrained()) {
    toml::table c;
    if (!f.from_records.empty()) {
      toml::array names;
      for (const NamedSpecies& h : f.from_records) names.push_back(h.species);
      c.insert("from_records", std::move(names));
    }
    if (f.observations) {
      c.insert("file", format_path(*f.observations));
      if (!f.observation_species.empty()) {
        toml::array names;
        for (const std::string& n : f.observation_species) names.push_back(n);
        c.insert("species", std::move(names));
      }
    }
    c.insert("interpolation", f.interpolation == Interpolation::linear ? "linear" : "step");
    root.insert("constraints", std::move(c));
  }
  if (!f.exchange.emissions.empty() || f.exchange.mixing_height_m || f.emission_profile != EmissionProfile::constant) {
    toml::table e;
    if (f.exchange.mixing_height_m) e.insert("mixing_height_m", *f.exchange.mixing_height_m);
    e.insert("profile", f.emission_profile == EmissionProfile::daylight ? "daylight" : "constant");
    for (const SpeciesSetting& x : f.exchange.emissions) e.insert(x.species, x.value);
    root.insert("emissions", std::move(e));
  }
  if (!f.exchange.deposition.empty()) {
    toml::table e;
    for (const SpeciesSetting& x : f.exchange.deposition) e.insert(x.species, x.value);
    root.insert("deposition", std::move(e));
  }
  if (f.exchange.dilution_per_s != 0.0 || !f.exchange.background.empty()) {
    toml::table background;
    for (const SpeciesSetting& x : f.exchange.background) background.insert(x.species, x.value);
    root.insert("dilution", toml::table{{"rate_per_s", f.exchange.dilution_per_s},
                                        {"background", std::move(background)}});
  }
  toml::table output{{"dir", format_path(s.output.dir)},
                     {"every_seconds", s.output.every_seconds},
                     {"progress_lines", s.output.progress_lines}};
  if (s.output.species.kind == SpeciesSelection::Kind::list) {
    toml::array names;
    for (int i : s.output.species.list) names.push_back(std::string(mech::species_names[at(i)]));
    output.insert("species", std::move(names));
  } else {
    output.insert("species", s.output.species.kind == SpeciesSelection::Kind::all ? "all" : "table");
  }
  toml::array formats;
  for (OutputFormat f : s.output.formats) formats.push_back(format_name(f));
  output.insert("formats", std::move(formats));
  output.insert("budgets", s.output.budgets);
  toml::array budget_species;
  for (const std::string& n : s.output.budget_species) budget_species.push_back(n);
  output.insert("budget_species", std::move(budget_species));
  root.insert("output", std::move(output));
  std::ostringstream os;
  os << root;
  return os.str() + "\n";
}

}  // namespace box
