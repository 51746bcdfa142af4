#include "scenario/scenario_file.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <limits>
#include <map>
#include <set>
#include <sstream>

#include "common/closest_names.hpp"
#include "common/format.hpp"
#include "common/one_based.hpp"
#include "environment/humidity.hpp"
#include "mechanism/species_lookup.hpp"
#include "mechanism/reaction_table.hpp"
#include "scenario/key_reader.hpp"

namespace box {

namespace fs = std::filesystem;

std::string join(const std::vector<std::string>& names, std::string_view separator) {
  std::string out;
  for (const std::string& n : names) {
    if (!out.empty()) out += separator;
    out += n;
  }
  return out;
}

std::string format_number(double v) { return full_precision(v); }

toml::table& table_at(toml::table& root, std::string_view path) {
  toml::table* table = &root;
  for (std::size_t begin = 0; begin <= path.size();) {
    const std::size_t dot = std::min(path.find('.', begin), path.size());
    const std::string part(path.substr(begin, dot - begin));
    toml::node* next = table->get(part);
    if (next == nullptr) next = &table->insert_or_assign(part, toml::table{}).first->second;
    table = next->as_table();
    begin = dot + 1;
  }
  return *table;
}

// ------------------------------------------------------------- KeyReader
void KeyReader::fail(const toml::node* node, std::string_view key, const std::string& what) const {
  throw ScenarioError(where(node, key) + ": " + std::string(key) + ": " + what);
}

std::string KeyReader::where(const toml::node* node, std::string_view key) const {
  if (const auto it = override_origin_.find(std::string(key)); it != override_origin_.end()) return it->second;
  if (node != nullptr && node->source().begin.line > 0)
    return source_ + ": line " + std::to_string(node->source().begin.line);
  // A section that only keys set from outside made ("tim.hours" makes tim).
  const std::string section = std::string(key) + ".";
  for (const auto& [set_key, origin] : override_origin_)
    if (set_key.starts_with(section)) return origin;
  return source_;
}

double KeyReader::number(const toml::node& node, std::string_view key) const {
  if (const auto* i = node.as_integer()) return static_cast<double>(i->get());
  if (const auto* f = node.as_floating_point()) {
    if (!std::isfinite(f->get())) fail(&node, key, "expected a finite number, found " + format_number(f->get()));
    return f->get();
  }
  fail(&node, key, std::string("expected a number, found ") + type_name(node));
}

int KeyReader::whole_number(const toml::node& node, std::string_view key) const {
  const double v = number(node, key);
  if (v != std::floor(v) || std::abs(v) > std::numeric_limits<int>::max())
    fail(&node, key, "expected a whole number, found " + format_number(v));
  return static_cast<int>(v);
}

std::string KeyReader::text(const toml::node& node, std::string_view key) const {
  if (const auto* s = node.as_string()) return s->get();
  fail(&node, key, std::string("expected a string, found ") + type_name(node));
}

bool KeyReader::boolean(const toml::node& node, std::string_view key) const {
  if (const auto* b = node.as_boolean()) return b->get();
  fail(&node, key, std::string("expected true or false, found ") + type_name(node));
}

std::vector<std::string> KeyReader::strings(const toml::node& node, std::string_view key) const {
  const toml::array* a = node.as_array();
  if (a == nullptr) fail(&node, key, std::string("expected an array of strings, found ") + type_name(node));
  std::vector<std::string> out;
  for (const toml::node& e : *a) out.push_back(text(e, key));
  return out;
}

const char* KeyReader::type_name(const toml::node& node) {
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

fs::path KeyReader::path(const toml::node& node, std::string_view key) const {
  const fs::path p = text(node, key);
  if (p.empty()) fail(&node, key, "expected a path, found an empty string");
  // Paths set from outside the file are taken as the user typed them.
  if (override_origin_.count(std::string(key)) || p.is_absolute() || base_.empty()) return p;
  return base_ / p;
}

std::string KeyReader::word(const toml::node& node, std::string_view key,
                            std::initializer_list<std::string_view> words) const {
  const std::string v = text(node, key);
  if (std::find(words.begin(), words.end(), v) != words.end()) return v;
  std::string expected;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) expected += i + 1 == words.size() ? " or " : ", ";
    expected += "\"" + std::string(words.begin()[i]) + "\"";
  }
  fail(&node, key, "expected " + expected + ", found \"" + v + "\"");
}

ValueSource KeyReader::value_source(const toml::node* node, std::string_view key) const {
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

int KeyReader::integrated_species(const toml::node& node, std::string_view key, std::string_view name) const {
  const int index = find_species(name).value_or(0);
  if (index < 1 || index > nvar) {
    std::string what = index == 0 ? "no species of that name" : "not an integrated species";
    const std::vector<std::string_view> names(mech::species_names.begin(), mech::species_names.end());
    if (index == 0) what += close_names_note(name, names);
    fail(&node, key, what);
  }
  return index;
}

namespace {

constexpr double default_mixing_height_m = 1000.0;

std::string dotted(std::string_view prefix, std::string_view key) {
  return prefix.empty() ? std::string(key) : std::string(prefix) + "." + std::string(key);
}

// Reads a scenario table section by section, as the schema says. Every
// failure names the file, the line and the key.
class ScenarioReader {
 public:
  ScenarioReader(const std::string& source, const fs::path& base_dir, const std::vector<KeyOverride>& overrides)
      : r_(source, base_dir, origins(overrides)) {}

  Scenario read(const toml::table& root) {
    Scenario s;
    s.source = r_.source();
    // Species names are the mechanism's: with a mechanism file they are
    // kept as written and matched when the file is read, at the run's start.
    if (const toml::node* m = root.at_path("chemistry.mechanism").node())
      r_.set_names_from_file(!(m->is_string() && m->value_or(std::string()) == "builtin"));
    read_section(root, "", s);
    // An empty [spin_up] asks for spin-up with every default.
    s.spin_up.enabled = root.contains("spin_up");
    check_replaced_keys(root, s);
    // The species table is the built-in mechanism's fixed layout: a
    // mechanism file's run whose formats are left unsaid writes CSV.
    if (!s.chemistry.builtin_mechanism() && !given(root, "output.formats")) s.output.formats = {OutputFormat::csv};
    // Emissions and deposition spread over the mixing layer; 1 km unless
    // the scenario says otherwise.
    if (!s.field.exchange.mixing_height_m) s.field.exchange.mixing_height_m = default_mixing_height_m;
    check_time(root, s);
    check_chamber(root, s);
    check_site(root, s);
    check_environment(root, s);
    check_rate_parameters(root, s);
    check_photolysis(root, s);
    check_records_replaced(root, s);
    check_species_keys(root, s);
    return s;
  }

 private:
  static std::map<std::string, std::string> origins(const std::vector<KeyOverride>& overrides) {
    std::map<std::string, std::string> m;
    for (const KeyOverride& o : overrides) m[o.key] = o.origin;
    return m;
  }

  // The names a section holds: its keys, then its sub-tables, in schema
  // order; and the entry of its table by species or reaction, if any.
  struct SectionLayout {
    std::vector<std::string> names;
    std::vector<const KeyEntry*> keys;  // parallel to names; nullptr for a sub-table
    const KeyEntry* items = nullptr;
  };

  static SectionLayout layout(std::string_view prefix) {
    SectionLayout l;
    const auto add = [&](std::string_view name, const KeyEntry* e) {
      if (std::find(l.names.begin(), l.names.end(), name) != l.names.end()) return;
      l.names.emplace_back(name);
      l.keys.push_back(e);
    };
    for (const KeyEntry& e : key_entries()) {
      const std::string_view section = e.key.section();
      if (section == prefix) {
        if (e.key.is_table()) l.items = &e;
        else add(e.key.last(), &e);
      } else if (prefix.empty() || (section.starts_with(prefix) && section.size() > prefix.size() &&
                                    section[prefix.size()] == '.')) {
        // A section below this one: its first name after the prefix.
        const std::string_view rest = prefix.empty() ? section : section.substr(prefix.size() + 1);
        add(rest.substr(0, rest.find('.')), nullptr);
      }
    }
    return l;
  }

  void read_section(const toml::table& t, const std::string& prefix, Scenario& s) {
    const SectionLayout l = layout(prefix);
    if (l.items == nullptr) check_keys(t, prefix, l.names);
    if (prefix.empty()) {
      // The sections in schema order.
      for (const std::string& name : l.names) {
        const toml::node* node = t.get(name);
        if (node == nullptr) continue;
        if (name == "injection") {
          read_injections(*node, s);
          continue;
        }
        if (!node->is_table()) r_.fail(node, name, "expected a table ([" + name + "])");
        read_section(*node->as_table(), name, s);
      }
      return;
    }
    for (auto&& [key, node] : t) {
      const std::string name(key.str());
      const std::string full = dotted(prefix, name);
      const auto it = std::find(l.names.begin(), l.names.end(), name);
      if (it == l.names.end()) {
        l.items->read(r_, node, full, name, s);
        continue;
      }
      const KeyEntry* e = l.keys[static_cast<std::size_t>(it - l.names.begin())];
      if (e != nullptr) {
        e->read(r_, node, full, {}, s);
        continue;
      }
      if (!node.is_table()) {
        const KeyEntry* sub = layout(full).items;
        const KeyType type = sub != nullptr ? sub->key.type : KeyType::numbers_by_species;
        r_.fail(&node, full, type == KeyType::numbers_by_reaction ? "expected a table of R<number> = factor"
                             : type == KeyType::numbers_by_name   ? "expected a table of \"NAME\" = number"
                             : type == KeyType::names_by_family   ? "expected a table of NAME = [\"SPECIES\", ...]"
                             : type == KeyType::family_constraints
                                 ? "expected a table of NAME = { members = [...], from_records | file_column }"
                                 : "expected a table of species = ppb");
      }
      read_section(*node.as_table(), full, s);
    }
    // Checks against the section's other keys, once all are read.
    for (auto&& [key, node] : t) {
      const std::string name(key.str());
      const auto it = std::find(l.names.begin(), l.names.end(), name);
      const KeyEntry* e = it == l.names.end() ? l.items : l.keys[static_cast<std::size_t>(it - l.names.begin())];
      if (e != nullptr && e->check != nullptr) e->check(r_, node, dotted(prefix, name), s);
    }
  }

  // [[injection]]: each table of the array (or a lone [injection]) is one
  // injection, complete with its time, species and one amount.
  void read_injections(const toml::node& node, Scenario& s) {
    std::vector<const toml::table*> tables;
    if (const toml::array* a = node.as_array()) {
      for (const toml::node& e : *a) {
        if (!e.is_table()) r_.fail(&e, "injection", "expected tables [[injection]], found " + std::string(KeyReader::type_name(e)));
        tables.push_back(e.as_table());
      }
    } else if (node.is_table()) {
      tables.push_back(node.as_table());
    } else {
      r_.fail(&node, "injection", "expected tables [[injection]], found " + std::string(KeyReader::type_name(node)));
    }
    for (const toml::table* t : tables) {
      Injection& i = s.field.injections.emplace_back();
      i.source = r_.value_source(t, "injection");
      read_section(*t, "injection", s);
      const auto missing = [&](const char* what) {
        r_.fail(t, "injection", std::string("missing: ") + what);
      };
      if (!i.has_time) missing("time_h = HOURS (local time of the run's clock)");
      if (i.species.empty()) missing("species = \"NAME\"");
      if (!i.has_amount) missing("ppb = AMOUNT or molecules_cm3 = AMOUNT");
    }
  }

  // [walls]: a sampling rate given once, by the rate or by volume and flow;
  // injections within the run, at the start of one of its steps.
  void check_chamber(const toml::table& root, Scenario& s) const {
    ExchangeSettings& e = s.field.exchange;
    if (e.volume_m3 && !e.flow_m3_per_s)
      fail(root, "walls.volume_m3", "a chamber volume needs its sampling flow: flow_m3_per_s = m3 s-1");
    if (e.flow_m3_per_s && !e.volume_m3)
      fail(root, "walls.flow_m3_per_s", "a sampling flow needs the chamber's volume: volume_m3 = m3");
    if (e.volume_m3) {
      if (given(root, "walls.sampling_per_s"))
        fail(root, "walls.sampling_per_s", "expected the sampling rate or volume_m3 and flow_m3_per_s, found both");
      e.sampling_per_s = *e.flow_m3_per_s / *e.volume_m3;
      e.sampling_source = r_.value_source(node(root, "walls.flow_m3_per_s"), "walls.flow_m3_per_s");
    }
    const double step_h = s.time.step_seconds / 3600.0;
    const double end_h = s.time.start_hour + s.time.hours;
    for (const Injection& i : s.field.injections) {
      const std::string at = i.source.describe();
      if (!(i.time_h >= s.time.start_hour && i.time_h < end_h))
        throw ScenarioError(at + ": expected a time within the run, from " + format_number(s.time.start_hour) +
                            " h to before its end at " + format_number(end_h) + " h, found " +
                            format_number(i.time_h) + " h");
      // Exact at the steps' starts: an injection is added where a step
      // begins, never within one.
      const double steps = (i.time_h - s.time.start_hour) / step_h;
      if (std::abs(steps - std::round(steps)) > 1e-9 * std::max(1.0, steps))
        throw ScenarioError(at + ": expected the start of a step (every " + std::to_string(s.time.step_seconds) +
                            " s from " + format_number(s.time.start_hour) + " h), found " +
                            format_number(i.time_h) + " h");
    }
  }

  // Every key of `table` must be one of `allowed`.
  void check_keys(const toml::table& table, std::string_view prefix, const std::vector<std::string>& allowed) const {
    for (auto&& [key, node] : table) {
      const std::string name(key.str());
      if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
      std::string what = "unknown key";
      const std::vector<std::string_view> names(allowed.begin(), allowed.end());
      const auto close = closest_names(name, names);
      if (!close.empty()) what += " (did you mean " + join(close, " or ") + "?)";
      else what += " (expected one of " + join(allowed) + ")";
      const std::string full = dotted(prefix, name);
      if (key.source().begin.line > 0 && !r_.set_from_outside(full))
        throw ScenarioError(r_.source() + ": line " + std::to_string(key.source().begin.line) + ": " + full + ": " +
                            what);
      r_.fail(&node, full, what);
    }
  }

  const toml::node* node(const toml::table& root, std::string_view key) const { return root.at_path(key).node(); }
  bool given(const toml::table& root, std::string_view key) const { return node(root, key) != nullptr; }
  [[noreturn]] void fail(const toml::table& root, std::string_view key, const std::string& what) const {
    r_.fail(node(root, key), key, what);
  }
  std::string where(const toml::table& root, std::string_view key) const {
    return r_.where(node(root, key), key) + ": " + std::string(key);
  }

  // Keys that replace older ones: the newer wins, with a note when both
  // are given (a scenario written for an older model keeps running).
  void check_replaced_keys(const toml::table& root, Scenario& s) const {
    const auto replace = [&](std::string_view newer, std::string_view older) {
      if (given(root, newer) && given(root, older))
        s.notes.push_back("note: " + where(root, older) + ": replaced by " + std::string(newer) + " (" +
                          r_.where(node(root, newer), newer) + "), whose value is used");
    };
    if (s.environment.mixing_height_m) {
      replace("environment.mixing_height_m", "emissions.mixing_height_m");
      s.field.exchange.mixing_height_m = s.environment.mixing_height_m;
    }
    if (s.photolysis.factor) {
      replace("photolysis.factor", "chemistry.photolysis_factor");
      s.chemistry.photolysis_factor = *s.photolysis.factor;
    }
  }

  // [site] by keys: all four, and not with a parameter file.
  void check_site(const toml::table& root, const Scenario& s) const {
    static constexpr std::string_view keys[] = {"site.latitude", "site.longitude", "site.date",
                                                "site.utc_offset_hours"};
    const std::string_view* first = nullptr;
    for (const std::string_view& k : keys)
      if (given(root, k) && first == nullptr) first = &k;
    if (first == nullptr) return;
    for (const std::string_view& k : keys)
      if (!given(root, k))
        fail(root, *first, "the site by keys needs latitude, longitude, date and utc_offset_hours; " +
                               std::string(k) + " is missing");
    if (s.site.parameters_given)
      fail(root, "site.parameters",
           "a parameter file and the site by keys (" + where(root, *first) + ") are both given; give one of them");
  }

  // A time series named by `key`, read and checked: values non-negative
  // and numeric (the reader), each used column covering the run's inputs.
  std::shared_ptr<const TimeSeries> read_series(const toml::table& root, std::string_view key,
                                                const std::filesystem::path& file, const ColumnFilter& used,
                                                const Scenario& s) const {
    try {
      auto series = std::make_shared<TimeSeries>(read_time_series(file, used));
      for (const TimeSeriesColumn& c : series->columns)
        series->require_covers(c, s.first_input_hour(), s.last_input_hour());
      return series;
    } catch (const ScenarioError&) {
      throw;
    } catch (const InputError& e) {
      throw ScenarioError(where(root, key) + ": " + e.what());
    }
  }

  void note_unused(const toml::table& root, std::string_view key, const TimeSeries& series, Scenario& s) const {
    if (!series.unused.empty())
      s.notes.push_back("note: " + where(root, key) + ": " + series.file + ": columns not used: " + join(series.unused));
  }

  // The rate parameters' time series: every column is a parameter (the
  // names are matched to the mechanism when the run starts), none also
  // given as a constant.
  void check_rate_parameters(const toml::table& root, Scenario& s) const {
    RateParameterSettings& p = s.rate_parameters;
    if (!p.file) return;
    p.series = read_series(root, "rate_parameters.file", *p.file, [](std::string_view) { return true; }, s);
    for (const TimeSeriesColumn& c : p.series->columns)
      for (const RateParameter& v : p.values)
        if (v.name == c.name)
          throw ScenarioError(v.source.describe() + ": given both as a constant and as a column of " +
                              p.series->file + "; give one of them");
  }

  void check_environment(const toml::table& root, Scenario& s) const {
    EnvironmentSettings& e = s.environment;
    static constexpr std::string_view quantities[] = {"temperature_K", "pressure_Pa",       "relative_humidity",
                                                      "h2o_ppb",       "h2o_molecules_cm3", "mixing_height_m"};
    if (e.file) {
      const std::string observed = s.photolysis.scale_to_observed;
      const ColumnFilter used = [&](std::string_view name) {
        if (!observed.empty() && name == observed) return true;
        return std::find(std::begin(quantities), std::end(quantities), name) != std::end(quantities);
      };
      e.series = read_series(root, "environment.file", *e.file, used, s);
      note_unused(root, "environment.file", *e.series, s);
      for (const TimeSeriesColumn& c : e.series->columns) {
        const std::string k = "environment." + c.name;
        if (given(root, k))
          fail(root, k, "given both as a constant and as a column of " + e.series->file + "; give one of them");
        // A likely slip of units, said once per column at its first value.
        for (std::size_t i = 0; i < c.values.size(); ++i) {
          const std::string slip = unit_slip(c.name, c.values[i]);
          if (slip.empty()) continue;
          s.notes.push_back("note: " + where(root, "environment.file") + ": " + e.series->file + ": line " +
                            std::to_string(c.line[i]) + ": " + c.name + ": " + slip);
          break;
        }
        for (std::size_t i = 0; i < c.values.size(); ++i) {
          const std::string at = e.series->file + ": line " + std::to_string(c.line[i]) + ": " + c.name;
          const double v = c.values[i];
          const auto bad = [&](const std::string& what) { throw ScenarioError(where(root, "environment.file") + ": " + at + ": " + what); };
          if (c.name == "temperature_K" && !(v >= 150.0 && v <= 350.0))
            bad("expected a temperature from 150 to 350 K, found " + format_number(v));
          if (c.name == "pressure_Pa" && !(v >= 100.0 && v <= 120000.0))
            bad("expected a pressure from 100 to 120000 Pa, found " + format_number(v));
          if (c.name == "mixing_height_m" && !(v > 0.0)) bad("expected a positive height in m, found " + format_number(v));
          if (c.name == "relative_humidity") {
            try {
              const std::string note = check_relative_humidity(v, at);
              if (!note.empty()) s.notes.push_back(note);
            } catch (const InputError& x) {
              throw ScenarioError(where(root, "environment.file") + ": " + x.what());
            }
          }
        }
      }
    }
    // Water vapour in one form only.
    std::vector<std::string> water;
    for (const char* name : {"relative_humidity", "h2o_ppb", "h2o_molecules_cm3"})
      if (e.names(name)) water.emplace_back(name);
    if (water.size() > 1) {
      const std::string k = "environment." + water[1];
      fail(root, given(root, k) ? k : "environment.file",
           "water vapour is given as " + join(water, " and ") +
               "; expected one of relative_humidity, h2o_ppb, h2o_molecules_cm3");
    }
    // Where [environment] and the site records both give a quantity, the
    // environment's is used.
    if (!water.empty()) {
      for (const NamedSpecies& h : s.field.from_records)
        if (h.species == "H2O")
          s.notes.push_back("note: " + h.source.describe() + ": H2O follows [environment] " + water[0] +
                            ", not the site records' q2");
    }
    if (s.site.records_given) {
      std::vector<std::string> replaced;
      for (const char* name : {"temperature_K", "pressure_Pa"})
        if (e.names(name)) replaced.emplace_back(name);
      if (!replaced.empty())
        s.notes.push_back("note: " + where(root, "site.records") + ": [environment] " + join(replaced, " and ") +
                          std::string(replaced.size() == 1 ? " replaces" : " replace") + " the site records' values");
    }
  }

  // With [environment] giving temperature and pressure and no [site]
  // records named, no site records are read: the keys that take values
  // from them have nothing to take.
  void check_records_replaced(const toml::table& root, const Scenario& s) const {
    if (s.reads_site_records()) return;
    const auto refuse = [&](const std::string& key) {
      fail(root, key, "needs the site records ([site] records), and [environment] replaces them");
    };
    if (s.field.initial_from_first_record) refuse("initial.from_first_record");
    if (!s.field.from_records.empty()) refuse("constraints.from_records");
    for (const FamilyConstraint& f : s.field.families)
      if (f.from_records) refuse("constraints.families." + f.name);
    if (s.photolysis.cloud_correction) refuse("photolysis.cloud_correction");
  }

  void check_photolysis(const toml::table& root, Scenario& s) const {
    PhotolysisSettings& p = s.photolysis;
    const PhotolysisMethod method = p.effective_method(s.chemistry.builtin_mechanism());
    if (method == PhotolysisMethod::file && !p.file)
      fail(root, "photolysis.method", "method \"file\" needs photolysis.file, a time series time_h,J1,J4,...");
    if (p.file && method != PhotolysisMethod::file)
      fail(root, "photolysis.file",
           std::string("a photolysis file is read only with method = \"file\" (the method is \"") +
               (method == PhotolysisMethod::specified ? "specified"
                : method == PhotolysisMethod::mcm     ? "mcm"
                                                      : "none") +
               "\")");
    if (p.file) {
      // Every column J<n>; the mechanism's channels are matched to them
      // when the mechanism is set up.
      const ColumnFilter channels = [](std::string_view name) {
        return name.size() > 1 && name[0] == 'J' &&
               name.find_first_not_of("0123456789", 1) == std::string_view::npos;
      };
      p.series = read_series(root, "photolysis.file", *p.file, channels, s);
      note_unused(root, "photolysis.file", *p.series, s);
      if (p.series->columns.empty())
        fail(root, "photolysis.file", p.series->file + " has no channel columns J<n> (J1, J4, ...)");
    }
    if (method == PhotolysisMethod::none) {
      if (!p.scale_to_observed.empty())
        fail(root, "photolysis.scale_to_observed", "method \"none\" has no frequencies to scale");
      if (p.cloud_correction)
        fail(root, "photolysis.cloud_correction", "method \"none\" has no frequencies to correct");
    }
    if (p.scale_to_observed.empty()) return;
    const std::string& name = p.scale_to_observed;
    const std::string_view key = "photolysis.scale_to_observed";
    if (s.environment.series != nullptr) {
      if (const TimeSeriesColumn* c = s.environment.series->find(name)) {
        p.observed_j4 = std::make_shared<TimeSeriesColumn>(*c);
        return;
      }
    }
    if (s.field.observations) {
      const auto series = read_series(root, "constraints.file", *s.field.observations,
                                      [&](std::string_view n) { return n == name; }, s);
      if (const TimeSeriesColumn* c = series->find(name)) {
        p.observed_j4 = std::make_shared<TimeSeriesColumn>(*c);
        return;
      }
    }
    std::string files;
    if (s.environment.file) files = s.environment.file->generic_string();
    if (s.field.observations) files += (files.empty() ? "" : " or ") + s.field.observations->generic_string();
    fail(root, key, files.empty() ? "names the column \"" + name + "\", but neither [environment] file nor "
                                    "[constraints] file is given"
                                  : "no column \"" + name + "\" in " + files);
  }

  // The species the new keys name, and the families' consistency.
  void check_species_keys(const toml::table& root, Scenario& s) const {
    const bool builtin = s.chemistry.builtin_mechanism();
    // A mechanism file's names are checked when it is read.
    const auto known = [&](std::string_view key, std::string& name) {
      if (!builtin) return;
      const int index = find_species(name).value_or(0);
      if (index >= 1 && index <= nvar) {
        name = std::string(mech::species_names[at(index)]);
        return;
      }
      std::string what = "\"" + name + "\" is no integrated species";
      const std::vector<std::string_view> names(mech::species_names.begin(), mech::species_names.end());
      if (index == 0) what += close_names_note(name, names);
      fail(root, key, what);
    };
    for (std::string& name : s.spin_up.species) known("spin_up.species", name);
    for (OutputFamily& f : s.output.families)
      for (std::string& member : f.members) {
        // "2 N2O5": the name is checked, the weight (read with the key) kept.
        const auto blank = member.find_last_of(" \t");
        std::string name = blank == std::string::npos ? member : member.substr(blank + 1);
        known("output.families." + f.name, name);
        member = blank == std::string::npos ? name : member.substr(0, blank + 1) + name;
      }

    std::vector<std::pair<std::string, std::string>> member_of;  // species, family
    for (FamilyConstraint& f : s.field.families) {
      const std::string key = "constraints.families." + f.name;
      for (FamilyMember& m : f.members) {
        known(key, m.species);
        for (const auto& [species, family] : member_of)
          if (species == m.species)
            fail(root, key, m.species + " is a member of family " + family + " too; a species can be scaled by one "
                                                                             "family only");
        member_of.emplace_back(m.species, f.name);
        for (const NamedSpecies& h : s.field.from_records)
          if (h.species == m.species)
            fail(root, key, m.species + " is also held individually ([constraints] from_records); hold it one way");
        for (const std::string& o : s.field.observation_species)
          if (o == m.species || (find_species(o) && find_species(o) == find_species(m.species)))
            fail(root, key, m.species + " is also held individually ([constraints] species); hold it one way");
        if (f.from_records) {
          const bool observed = std::any_of(std::begin(record_species), std::end(record_species), [&](const char* r) {
            return find_species(r).has_value() && find_species(r) == find_species(m.species);
          });
          if (!observed)
            fail(root, key, m.species + " is not observed in the site records (they observe O3, NO, NO2, CO, "
                                        "HCHO and, as q2, H2O); use file_column");
        }
      }
      if (!f.file_column.empty()) {
        if (!s.field.observations)
          fail(root, key, "file_column \"" + f.file_column + "\" names a column of the [constraints] file, but no "
                                                               "file is given");
        // Its header only: its values, gaps and all, are the observation
        // reader's (run/field_plan.cpp).
        const auto series = read_series(root, key, *s.field.observations, [](std::string_view) { return false; }, s);
        if (std::find(series->unused.begin(), series->unused.end(), f.file_column) == series->unused.end())
          fail(root, key, "no column \"" + f.file_column + "\" in " + series->file);
      }
    }
  }

  // The run's length must be a whole number of steps.
  void check_time(const toml::table& root, const Scenario& s) const {
    const double steps = s.time.hours * 3600.0 / s.time.step_seconds;
    if (std::abs(steps - std::round(steps)) > 1e-9 * steps) {
      const toml::node* n = root.at_path("time.hours").node();
      r_.fail(n, "time.hours", format_number(s.time.hours) + " hours is not a whole number of " +
                                   std::to_string(s.time.step_seconds) + " s steps");
    }
    if (steps > std::numeric_limits<int>::max()) {
      const toml::node* n = root.at_path("time.hours").node();
      r_.fail(n, "time.hours", format_number(s.time.hours) + " hours is more steps of " +
                                   std::to_string(s.time.step_seconds) + " s than the run can count (" +
                                   std::to_string(std::numeric_limits<int>::max()) + ")");
    }
    if (s.output.every_seconds % s.time.step_seconds != 0) {
      const toml::node* n = root.at_path("output.every_seconds").node();
      r_.fail(n, "output.every_seconds",
              "expected a multiple of the step (" + std::to_string(s.time.step_seconds) + " s), found " +
                  std::to_string(s.output.every_seconds));
    }
  }

  KeyReader r_;
};

// Puts `value` at the dotted `key` of `root`, creating the sections.
void apply_override(toml::table& root, const KeyOverride& o) {
  toml::table* table = &root;
  std::string_view rest = o.key;
  // A name of a table by name ("rate_parameters.PHOTO.O2_1") is one key,
  // dots and all, after its section's.
  const ScenarioKey* k = find_scenario_key(o.key);
  const std::size_t parts = k != nullptr && k->type == KeyType::numbers_by_name
                                ? static_cast<std::size_t>(std::count(k->name.begin(), k->name.end(), '.'))
                                : std::string_view::npos;
  for (std::size_t dot, level = 0; level < parts && (dot = rest.find('.')) != std::string_view::npos; ++level) {
    const std::string part(rest.substr(0, dot));
    rest.remove_prefix(dot + 1);
    toml::node* next = table->get(part);
    if (next == nullptr) next = &table->insert_or_assign(part, toml::table{}).first->second;
    if (!next->is_table()) throw ScenarioError(o.origin + ": " + o.key + ": " + part + " is not a section");
    table = next->as_table();
  }
  // ... and may be written as TOML writes it, in quotes.
  if (parts != std::string_view::npos && rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
    rest = rest.substr(1, rest.size() - 2);
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

// Takes the key or section at the dotted `path` out of `root`, if there.
void remove_key(toml::table& root, std::string_view path) {
  toml::table* table = &root;
  for (std::size_t dot; (dot = path.find('.')) != std::string_view::npos;) {
    table = table->get_as<toml::table>(path.substr(0, dot));
    if (table == nullptr) return;
    path.remove_prefix(dot + 1);
  }
  table->erase(path);
}

Scenario read_table(toml::table& root, const std::string& source, const fs::path& base,
                    const std::vector<KeyOverride>& overrides) {
  for (const KeyOverride& o : overrides) apply_override(root, o);
  return ScenarioReader(source, base, overrides).read(root);
}

}  // namespace

Scenario parse_scenario(std::string_view toml_text, const std::string& source, const fs::path& base_dir,
                        const std::vector<KeyOverride>& overrides, const std::vector<std::string>& replaced) {
  // The TOML parser skips a leading UTF-8 byte-order mark itself.
  toml::table root;
  try {
    root = toml::parse(toml_text, source);
  } catch (const toml::parse_error& e) {
    throw ScenarioError(source + ": line " + std::to_string(e.source().begin.line) + ": " +
                        std::string(e.description()));
  }
  for (const std::string& path : replaced) remove_key(root, path);
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
  Description d;
  for (const KeyEntry& e : key_entries()) describe_key(e, s, d);
  return d;
}

std::string scenario_to_toml(const Scenario& s) {
  toml::table root;
  for (const KeyEntry& e : key_entries()) write_key(e, s, root);
  std::ostringstream os;
  os << root;
  return os.str() + "\n";
}

}  // namespace box
