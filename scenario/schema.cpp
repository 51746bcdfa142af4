// The scenario keys. Each entry names a key, its type, default, whether it
// is a path, a line of description, an example value and its command-line
// option, and says how the key is read (with its checks) and what its value
// is: the one value both the output files' records describe and the TOML
// writer writes back (a table describes and writes its items itself).
//
// To add a key: one entry here, in the place it should take in
// describe_scenario's list, and the field of Scenario it sets. The reader,
// the writers, the command line, the members tables and Python follow; the
// schema's tests set every key to its example and read it back.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <type_traits>
#include <variant>

#include "common/closest_names.hpp"
#include "common/one_based.hpp"
#include "environment/calendar.hpp"
#include "environment/humidity.hpp"
#include "environment/input_text.hpp"
#include "mechanism/species_lookup.hpp"
#include "scenario/key_reader.hpp"

namespace box {
namespace {

namespace fs = std::filesystem;

// A mole fraction cannot exceed 1: 1e9 ppb. A larger value is a unit
// mistake (ppt or molecules cm-3 given as ppb).
constexpr double max_ppb = 1e9;

// A century. A box of one site's air stands for hours to seasons; a longer
// length is a unit mistake (minutes or seconds given as hours).
constexpr double max_run_hours = 24.0 * 366 * 100;

// The densest air the site records may describe (120000 Pa at 150 K), in
// molecules cm-3: an emission that would put that many molecules into every
// cm3 of the mixing layer each second replaces the layer's air with the
// species alone within a second, which no source does; such a flux is a
// unit mistake.
constexpr double boltzmann_j_per_k = 1.380649e-23;
constexpr double densest_air_per_cm3 = 120000.0 / (boltzmann_j_per_k * 150.0) * 1e-6;

std::string format_path(const fs::path& p) { return p.generic_string(); }
std::string comma_list(const std::vector<std::string>& v) { return join(v, ","); }
std::string species_name(int index) { return std::string(mech::species_names[at(index)]); }

void put(toml::table& root, std::string_view key, auto&& value) {
  const auto dot = key.rfind('.');
  table_at(root, key.substr(0, dot)).insert_or_assign(key.substr(dot + 1), std::forward<decltype(value)>(value));
}

toml::array array_of(const std::vector<std::string>& names) {
  toml::array a;
  for (const std::string& n : names) a.push_back(n);
  return a;
}

std::vector<std::string> held_names(const FieldSettings& f) {
  std::vector<std::string> names;
  for (const NamedSpecies& h : f.from_records) names.push_back(h.species);
  return names;
}

bool writes_emissions(const FieldSettings& f) {
  return !f.exchange.emissions.empty() || f.exchange.mixing_height_m || f.emission_profile != EmissionProfile::constant;
}
bool writes_dilution(const FieldSettings& f) {
  return f.exchange.dilution_per_s != 0.0 || !f.exchange.background.empty();
}

const char* format_name(OutputFormat f) {
  switch (f) {
    case OutputFormat::table: return "table";
    case OutputFormat::csv: return "csv";
    case OutputFormat::netcdf: return "netcdf";
  }
  return "";
}

// A species = value item of a table (emissions, deposition, background).
SpeciesSetting species_value(const KeyReader& r, const toml::node& n, const std::string& key, std::string_view item) {
  if (r.names_from_file()) return {std::string(item), r.number(n, key), r.value_source(&n, key)};
  const int index = r.integrated_species(n, key, item);
  return {species_name(index), r.number(n, key), r.value_source(&n, key)};
}

void describe_values(Description& d, std::string_view section, const std::vector<SpeciesSetting>& v) {
  for (const SpeciesSetting& x : v) d.emplace_back(std::string(section) + "." + x.species, format_number(x.value));
}

void write_values(toml::table& root, std::string_view section, const std::vector<SpeciesSetting>& v) {
  if (v.empty()) return;
  toml::table& t = table_at(root, section);
  for (const SpeciesSetting& x : v) t.insert_or_assign(x.species, x.value);
}

// "R27" -> 27; 0 unless the name is R followed by a reaction's number.
int reaction_number(std::string_view name, int limit = nreact) {
  if (name.size() < 2 || name.size() > 7 || name[0] != 'R' || name[1] == '0') return 0;
  int n = 0;
  for (char c : name.substr(1)) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n <= limit ? n : 0;
}

void check_ppb(const KeyReader& r, const toml::node& n, const std::string& key, double ppb) {
  if (ppb > max_ppb)
    r.fail(&n, key, "expected a mole fraction of at most 1e9 ppb (all of the air), found " + format_number(ppb));
}

// The injections' values of one key, comma-separated in the file's order
// ("-" for an injection that gives the other unit); nothing without any.
template <class F>
void describe_injections(Description& d, const char* key, const Scenario& s, F value) {
  if (s.field.injections.empty()) return;
  std::vector<std::string> v;
  for (const Injection& i : s.field.injections) v.push_back(value(i));
  d.emplace_back(key, join(v, ","));
}

void read_injected_amount(const KeyReader& r, const toml::node& n, const std::string& k, Scenario& s,
                          bool molecules_cm3) {
  Injection& i = s.field.injections.back();
  if (i.has_amount)
    r.fail(&n, k, "expected one amount, ppb or molecules_cm3, found both");
  i.amount = r.number(n, k);
  i.molecules_cm3 = molecules_cm3;
  i.has_amount = true;
  if (!(i.amount >= 0.0) || !std::isfinite(i.amount))
    r.fail(&n, k, "expected an amount of 0 or more, found " + format_number(i.amount));
  if (!molecules_cm3) check_ppb(r, n, k, i.amount);
}

// A check of environment/ (calendar, humidity) as a scenario error naming
// the file, the line and the key.
template <class F>
auto checked(const KeyReader& r, const toml::node& n, const std::string& key, F&& f) {
  try {
    return f(r.where(&n, key) + ": " + key);
  } catch (const ScenarioError&) {
    throw;
  } catch (const InputError& e) {
    throw ScenarioError(e.what());
  }
}

const char* units_name(ConcentrationUnit u) { return u == ConcentrationUnit::ppb ? "ppb" : "molecules cm-3"; }
ConcentrationUnit units_from(const KeyReader& r, const toml::node& n, const std::string& key) {
  return r.word(n, key, {"ppb", "molecules cm-3"}) == "ppb" ? ConcentrationUnit::ppb
                                                             : ConcentrationUnit::molecules_cm3;
}

const char* method_name(PhotolysisMethod m) {
  switch (m) {
    case PhotolysisMethod::specified: return "specified";
    case PhotolysisMethod::mcm: return "mcm";
    case PhotolysisMethod::file: return "file";
    case PhotolysisMethod::none: return "none";
  }
  return "";
}

std::string date_text(const CalendarDay& d) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
  return text;
}

// A key's value, or nothing where the writer leaves the key out.
using V = std::optional<KeyValue>;
using W = Writer;

// A number of [environment] or [site] that is described and written only
// when given.
V number_if_given(const std::optional<double>& v) {
  if (!v) return {};
  return *v;
}
// A file that is named only when given.
V path_if_given(const std::optional<fs::path>& p) {
  if (!p) return {};
  return format_path(*p);
}
// A switch that is described and written only when on.
V true_if(bool on) {
  if (!on) return {};
  return true;
}
// One of a key's words, as text (never taken for a switch).
V word(const char* w) { return std::string(w); }

// "2 N2O5" -> {N2O5, 2}; "NO" -> {NO, 1}.
FamilyMember family_member(const KeyReader& r, const toml::node& n, const std::string& key, const std::string& text) {
  FamilyMember m;
  const auto blank = text.find_first_of(" \t");
  std::string name = text;
  if (blank != std::string::npos) {
    const std::string weight = text.substr(0, blank);
    name = text.substr(text.find_first_not_of(" \t", blank));
    char* end = nullptr;
    m.weight = std::strtod(weight.c_str(), &end);
    if (end != weight.c_str() + weight.size() || !std::isfinite(m.weight) || !(m.weight > 0.0))
      r.fail(&n, key, "expected a member \"NAME\" or \"WEIGHT NAME\" with a positive weight, found \"" + text + "\"");
  }
  if (name.empty()) r.fail(&n, key, "expected a member \"NAME\" or \"WEIGHT NAME\", found \"" + text + "\"");
  m.species = name;
  return m;
}

std::string member_text(const FamilyMember& m) {
  return m.weight == 1.0 ? m.species : format_number(m.weight) + " " + m.species;
}

std::string family_text(const FamilyConstraint& f) {
  std::vector<std::string> members;
  for (const FamilyMember& m : f.members) members.push_back(member_text(m));
  return comma_list(members) + (f.from_records ? " (from_records)" : " (file_column " + f.file_column + ")");
}

// A note on a legal value that is likely a slip of units, where the key is
// read; nothing for a plausible one.
void note_unit_slip(const KeyReader& r, const toml::node& n, const std::string& key, std::string_view quantity,
                    double v, Scenario& s) {
  const std::string slip = unit_slip(quantity, v);
  if (!slip.empty()) s.notes.push_back("note: " + r.where(&n, key) + ": " + key + ": " + slip);
}

using S = Scenario;
using R = const KeyReader&;
using N = const toml::node&;
using K = const std::string&;
using I = std::string_view;
using D = Description&;
using T = toml::table&;

const KeyEntry entries[] = {
    // ------------------------------------------------------------------ site
    {{"site.parameters", KeyType::path, "inputn", true, "the site and day (latitude, longitude, date)",
      "\"site-parameters\""},
     [](R r, N n, K k, I, S& s) {
       s.site.parameters = r.path(n, k);
       s.site.parameters_given = true;
     },
     // A site by keys reads no parameter file: the outputs' records name none.
     [](const S& s, W) -> V {
       if (s.site.by_keys()) return {};
       return format_path(s.site.parameters);
     }},
    {{"site.records", KeyType::path, "ValuesAtSite_extractedFromWRFchemAug31.txt_test", true,
      "hourly records: temperature, pressure, radiation, observed gases", "\"records.txt\""},
     [](R r, N n, K k, I, S& s) {
       s.site.records = r.path(n, k);
       s.site.records_given = true;
     },
     // Named only where read: where [environment] gives the air and the
     // key is not given, no records are read (and named, the default file
     // would be).
     [](const S& s, W) -> V {
       if (!s.reads_site_records()) return {};
       return format_path(s.site.records);
     }},
    {{"site.records_layout", KeyType::text, "lines", false,
      "\"lines\": one record per line, exactly 13 values; \"free\": values may span lines", "\"free\""},
     [](R r, N n, K k, I, S& s) {
       s.site.records_layout = r.word(n, k, {"lines", "free"}) == "lines" ? RecordsLayout::lines : RecordsLayout::free;
     },
     [](const S& s, W) -> V { return word(s.site.records_layout == RecordsLayout::lines ? "lines" : "free"); }},
    {{"site.latitude", KeyType::number, "", false,
      "degrees north, -90 to 90; [site] latitude, longitude, date and utc_offset_hours replace the parameter file",
      "52.4"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       checked(r, n, k, [&](const std::string& w) { check_latitude(v, w); });
       s.site.latitude = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.site.latitude); }},
    {{"site.longitude", KeyType::number, "", false, "degrees EAST, -180 to 180", "-1.9"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       checked(r, n, k, [&](const std::string& w) { check_longitude(v, w); });
       s.site.longitude_east = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.site.longitude_east); }},
    {{"site.date", KeyType::text, "", false, "the start day, \"YYYY-MM-DD\"", "\"2024-07-15\""},
     [](R r, N n, K k, I, S& s) {
       // A TOML date (2024-07-15, unquoted) is taken as well as the string.
       const auto* toml_date = n.as_date();
       const std::string text_date =
           toml_date != nullptr
               ? date_text({toml_date->get().year, toml_date->get().month, toml_date->get().day})
               : r.text(n, k);
       const Date d = checked(r, n, k, [&](const std::string& w) { return parse_date(text_date, w); });
       s.site.date = CalendarDay{d.year, d.month, d.day};
     },
     [](const S& s, W) -> V {
       if (!s.site.date) return {};
       return date_text(*s.site.date);
     }},
    {{"site.utc_offset_hours", KeyType::number, "", false,
      "local time = UTC + offset, hours (-12 to 14); start_hour and every time_h are local", "1.0"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       checked(r, n, k, [&](const std::string& w) { check_utc_offset(v, w); });
       s.site.utc_offset_hours = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.site.utc_offset_hours); }},
    // ------------------------------------------------------------------ time
    {{"time.start_hour", KeyType::number, "5", false, "local time of the first step, hours", "6.5", "--start-hour",
      "Local time of the first step, hours"},
     [](R r, N n, K k, I, S& s) {
       s.time.start_hour = r.number(n, k);
       if (s.time.start_hour < 0.0 || s.time.start_hour >= 24.0)
         r.fail(&n, k, "expected a local time from 0 up to 24 hours, found " + format_number(s.time.start_hour));
     },
     [](const S& s, W) -> V { return s.time.start_hour; }},
    {{"time.step_seconds", KeyType::whole_number, "300", false, "step length, a whole number of seconds dividing 3600",
      "600", "--step", "Step length in seconds, a divisor of 3600"},
     [](R r, N n, K k, I, S& s) {
       s.time.step_seconds = r.whole_number(n, k);
       if (s.time.step_seconds < 1 || 3600 % s.time.step_seconds != 0)
         r.fail(&n, k, "expected a whole number of seconds that divides 3600, found " +
                           std::to_string(s.time.step_seconds));
     },
     [](const S& s, W) -> V { return s.time.step_seconds; }},
    {{"time.hours", KeyType::number, "17", false, "length of the run, hours", "48", "--hours",
      "Length of the run in hours"},
     [](R r, N n, K k, I, S& s) {
       s.time.hours = r.number(n, k);
       if (!(s.time.hours > 0.0))
         r.fail(&n, k, "expected a positive length in hours, found " + format_number(s.time.hours));
       if (s.time.hours > max_run_hours)
         r.fail(&n, k, "expected a length of at most " + format_number(max_run_hours) +
                           " hours (100 years: a box of one site's air stands for hours to seasons, so a longer "
                           "run is surely a unit mistake, such as minutes or seconds given as hours), found " +
                           format_number(s.time.hours));
     },
     [](const S& s, W) -> V { return s.time.hours; }},
    // --------------------------------------------------------------- initial
    {{"initial.<species>", KeyType::numbers_by_species, "", false,
      "initial mole fraction, ppb; species not named keep the built-in initial state", "40.0"},
     [](R r, N n, K k, I item, S& s) {
       if (r.names_from_file()) {
         s.initial.push_back({0, r.number(n, k), std::string(item), r.value_source(&n, k)});
         return;
       }
       const int index = find_species(item).value_or(0);
       if (index == 0) {
         std::string what = "no species of that name";
         const std::vector<std::string_view> names(mech::species_names.begin(), mech::species_names.end());
         what += close_names_note(item, names);
         r.fail(&n, k, what);
       }
       if (index == nspec) r.fail(&n, k, "M is the air itself and cannot be set");
       const double v = r.number(n, k);
       s.initial.push_back({index, v, species_name(index), r.value_source(&n, k)});
     },
     nullptr,
     [](const S& s, D d) {
       for (const InitialValue& v : s.initial)
         d.emplace_back("initial." + (v.name.empty() ? species_name(v.species) : v.name), format_number(v.ppb));
     },
     [](const S& s, T t) {
       toml::table& initial = table_at(t, "initial");  // written even when empty
       for (const InitialValue& v : s.initial) initial.insert_or_assign(v.name.empty() ? species_name(v.species) : v.name, v.ppb);
     },
     // Checked once the section's units are known.
     [](R r, N n, K k, const S& s) {
       const double v = r.number(n, k);
       if (s.initial_units == ConcentrationUnit::ppb) {
         if (v < 0.0) r.fail(&n, k, "expected a mole fraction of 0 ppb or more, found " + format_number(v));
         check_ppb(r, n, k, v);
         return;
       }
       if (v < 0.0) r.fail(&n, k, "expected 0 molecules cm-3 or more, found " + format_number(v));
       if (v > densest_air_per_cm3)
         r.fail(&n, k, "expected at most the densest air's " + format_number(densest_air_per_cm3) +
                           " molecules cm-3, found " + format_number(v));
     }},
    {{"initial.units", KeyType::text, "ppb", false, "of the [initial] values: \"ppb\" or \"molecules cm-3\"",
      "\"molecules cm-3\""},
     [](R r, N n, K k, I, S& s) { s.initial_units = units_from(r, n, k); },
     [](const S& s, W) -> V {
       if (s.initial_units == ConcentrationUnit::ppb) return {};
       return word(units_name(s.initial_units));
     }},
    // ------------------------------------------------------------- chemistry
    {{"chemistry.method", KeyType::text, "ros3", false, "ros2 | ros3 | ros4 | rodas3 | rodas4", "\"rodas4\"",
      "--method", "Integration method: ros2, ros3, ros4, rodas3, rodas4"},
     [](R r, N n, K k, I, S& s) {
       s.chemistry.method = r.text(n, k);
       const auto& names = method_names();
       if (std::find(names.begin(), names.end(), s.chemistry.method) == names.end())
         r.fail(&n, k, "expected one of " + join(names) + ", found \"" + s.chemistry.method + "\"");
     },
     [](const S& s, W) -> V { return s.chemistry.method; }},
    {{"chemistry.rtol", KeyType::number, "0.001", false, "relative tolerance, below 1", "1e-4", "--rtol",
      "Relative tolerance"},
     [](R r, N n, K k, I, S& s) {
       s.chemistry.rtol = r.number(n, k);
       if (!(s.chemistry.rtol > 0.0)) r.fail(&n, k, "expected a positive number, found " + format_number(s.chemistry.rtol));
       if (!(s.chemistry.rtol < 1.0))
         r.fail(&n, k, "expected a relative tolerance below 1, found " + format_number(s.chemistry.rtol));
     },
     [](const S& s, W) -> V { return s.chemistry.rtol; }},
    {{"chemistry.atol", KeyType::number, "1", false, "absolute tolerance, molecules cm-3", "10.0", "--atol",
      "Absolute tolerance, molecules cm-3"},
     [](R r, N n, K k, I, S& s) {
       s.chemistry.atol = r.number(n, k);
       if (!(s.chemistry.atol > 0.0)) r.fail(&n, k, "expected a positive number, found " + format_number(s.chemistry.atol));
     },
     [](const S& s, W) -> V { return s.chemistry.atol; }},
    {{"chemistry.photolysis_factor", KeyType::number, "1", false,
      "multiplies every photolysis frequency (the older name of [photolysis] factor)", "0.5"},
     [](R r, N n, K k, I, S& s) {
       s.chemistry.photolysis_factor = r.number(n, k);
       if (s.chemistry.photolysis_factor < 0.0)
         r.fail(&n, k, "expected a factor of 0 or more, found " + format_number(s.chemistry.photolysis_factor));
     },
     [](const S& s, W w) -> V {
       // [photolysis] factor, when given, says the same in the TOML.
       if (w == Writer::toml && s.photolysis.factor) return {};
       return s.chemistry.photolysis_factor;
     }},
    {{"chemistry.rate_factors.R<n>", KeyType::numbers_by_reaction, "", false,
      "multiplies reaction n's rate coefficient (see boxmodel-rates)", "1.5"},
     [](R r, N n, K k, I item, S& s) {
       // A mechanism file's reactions are counted when the run starts.
       const int reaction = reaction_number(item, r.names_from_file() ? 999999 : nreact);
       if (reaction == 0) r.fail(&n, k, "no reaction of that name (expected R1 to R" + std::to_string(nreact) + ")");
       const double f = r.number(n, k);
       if (f < 0.0) r.fail(&n, k, "expected a factor of 0 or more, found " + format_number(f));
       // Kept in increasing reaction number.
       auto& v = s.chemistry.rate_factors;
       const auto it = std::find_if(v.begin(), v.end(), [&](const RateFactor& x) { return x.reaction >= reaction; });
       if (it != v.end() && it->reaction == reaction) it->factor = f;
       else v.insert(it, {reaction, f});
     },
     nullptr,
     [](const S& s, D d) {
       for (const RateFactor& f : s.chemistry.rate_factors)
         d.emplace_back("chemistry.rate_factors.R" + std::to_string(f.reaction), format_number(f.factor));
     },
     [](const S& s, T t) {
       toml::table& factors = table_at(t, "chemistry.rate_factors");  // written even when empty
       for (const RateFactor& f : s.chemistry.rate_factors) factors.insert("R" + std::to_string(f.reaction), f.factor);
     }},
    {{"chemistry.mechanism", KeyType::path, "builtin", true,
      "\"builtin\", or a mechanism file (relative to the scenario file)", "\"mechanism.txt\""},
     [](R r, N n, K k, I, S& s) {
       if (n.is_string() && r.text(n, k) == "builtin") {
         s.chemistry.mechanism_file.reset();
         return;
       }
       const fs::path p = r.path(n, k);
       std::error_code ec;
       if (fs::is_directory(p, ec))
         r.fail(&n, k, "expected \"builtin\" or a mechanism file, found the directory " + format_path(p));
       if (!fs::is_regular_file(p, ec))
         r.fail(&n, k, "no mechanism file " + format_path(p) + " (expected \"builtin\" or a mechanism file)");
       s.chemistry.mechanism_file = p;
       s.chemistry.mechanism_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V { return path_if_given(s.chemistry.mechanism_file); }},
    {{"chemistry.kernels", KeyType::text, "auto", false,
      "a mechanism file's kernels: \"auto\" (machine code where available) or \"loops\"", "\"loops\"",
      "--kernels", "Kernels of a mechanism file: auto (machine code where available) or loops"},
     [](R r, N n, K k, I, S& s) {
       const std::string v = r.text(n, k);
       if (v == "auto") s.chemistry.kernels = ChemistrySettings::Kernels::automatic;
       else if (v == "loops") s.chemistry.kernels = ChemistrySettings::Kernels::loops;
       else r.fail(&n, k, "expected \"auto\" or \"loops\", found \"" + v + "\"");
     },
     // Described and written only where it is not the default, so that the
     // records of runs that do not set it stay as they were.
     [](const S& s, W) -> V {
       if (s.chemistry.kernels != ChemistrySettings::Kernels::loops) return {};
       return word("loops");
     }},
    {{"initial.from_first_record", KeyType::boolean, "false", false,
      "true: O3, NO, NO2, CO, HCHO from the first site record", "true"},
     [](R r, N n, K k, I, S& s) { s.field.initial_from_first_record = r.boolean(n, k); },
     [](const S& s, W) -> V { return true_if(s.field.initial_from_first_record); }},
    // ------------------------------------------------------- rate_parameters
    {{"rate_parameters.<name>", KeyType::numbers_by_name, "", false,
      "a rate parameter a version-1 mechanism leaves to the run (\"PHOTO.<reaction>\", \"USER.<reaction>\", ...), "
      "in the file's units",
      "1e-5"},
     [](R r, N n, K k, I item, S& s) {
       const double v = r.number(n, k);
       if (!(v >= 0.0)) r.fail(&n, k, "expected a value of 0 or more, found " + format_number(v));
       auto& list = s.rate_parameters.values;
       const auto it = std::find_if(list.begin(), list.end(), [&](const RateParameter& p) { return p.name == item; });
       if (it != list.end()) *it = {std::string(item), v, r.value_source(&n, k)};
       else list.push_back({std::string(item), v, r.value_source(&n, k)});
     },
     nullptr,
     [](const S& s, D d) {
       for (const RateParameter& p : s.rate_parameters.values)
         d.emplace_back("rate_parameters." + p.name, format_number(p.value));
     },
     [](const S& s, T t) {
       if (s.rate_parameters.values.empty()) return;
       toml::table& table = table_at(t, "rate_parameters");
       for (const RateParameter& p : s.rate_parameters.values) table.insert_or_assign(p.name, p.value);
     }},
    {{"rate_parameters.file", KeyType::path, "", true,
      "a time series: header time_h plus rate parameters' names, values in their units", "\"params.csv\""},
     [](R r, N n, K k, I, S& s) {
       s.rate_parameters.file = r.path(n, k);
       s.rate_parameters.file_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V { return path_if_given(s.rate_parameters.file); }},
    // ----------------------------------------------------------- constraints
    {{"constraints.from_records", KeyType::names, "", false,
      "held to the site records' hourly observations: O3, NO, NO2, CO, HCHO, H2O (q2)", "[\"O3\"]"},
     [](R r, N n, K k, I, S& s) {
       for (const std::string& name : r.strings(n, k)) {
         const auto& allowed = record_species;
         const auto* hit = std::find_if(std::begin(allowed), std::end(allowed), [&](const char* a) {
           return find_species(a) == find_species(name) && find_species(name).has_value();
         });
         if (hit == std::end(allowed))
           r.fail(&n, k,
                  "\"" + name + "\" is not observed in the site records (they observe O3, NO, NO2, CO, "
                  "HCHO and, as q2, H2O)");
         s.field.from_records.push_back({*hit, r.value_source(&n, k)});
       }
     },
     [](const S& s, W) -> V {
       if (s.field.from_records.empty()) return {};
       return held_names(s.field);
     }},
    {{"constraints.file", KeyType::path, "", true, "an observation file: header time_h,<species...>, ppb",
      "\"obs.csv\""},
     [](R r, N n, K k, I, S& s) {
       s.field.observations = r.path(n, k);
       s.field.observations_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V { return path_if_given(s.field.observations); }},
    {{"constraints.species", KeyType::names, "", false, "which columns of the observation file (default: all)",
      "[\"CO\"]"},
     [](R r, N n, K k, I, S& s) {
       s.field.observation_species = r.strings(n, k);
       s.field.observation_species_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V {
       if (!s.field.observations || s.field.observation_species.empty()) return {};
       return s.field.observation_species;
     },
     nullptr, nullptr,
     [](R r, N n, K k, const S& s) {
       if (!s.field.observations) r.fail(&n, k, "names columns of an observation file, but no file is given");
     }},
    {{"constraints.interpolation", KeyType::text, "linear", false,
      "\"linear\", or \"step\" (each value held until the next)", "\"step\""},
     [](R r, N n, K k, I, S& s) {
       const std::string v = r.word(n, k, {"linear", "step"});
       s.field.interpolation = interpolation_from_name(v, r.value_source(&n, k));
     },
     [](const S& s, W) -> V {
       if (!s.field.constrained()) return {};
       return word(s.field.interpolation == Interpolation::linear ? "linear" : "step");
     }},
    {{"constraints.missing_value", KeyType::number, "", false,
      "the observation file's marker of a missing value (empty cells and NaN are missing too)", "-999"},
     [](R r, N n, K k, I, S& s) { s.field.missing_value = r.number(n, k); },
     [](const S& s, W) -> V { return number_if_given(s.field.missing_value); },
     nullptr, nullptr,
     [](R r, N n, K k, const S& s) {
       if (!s.field.observations) r.fail(&n, k, "marks missing values of an observation file, but no file is given");
     }},
    {{"constraints.max_gap_hours", KeyType::number, "3", false,
      "the longest gap in an observed column held across on the straight line; in longer ones the species runs free",
      "6.0"},
     [](R r, N n, K k, I, S& s) {
       s.field.max_gap_hours = r.number(n, k);
       if (!(s.field.max_gap_hours >= 0.0))
         r.fail(&n, k, "expected 0 hours or more, found " + format_number(s.field.max_gap_hours));
     },
     // Described wherever a file is observed; written when not the default.
     [](const S& s, W w) -> V {
       if (s.field.max_gap_hours == 3.0 && !(w == Writer::description && s.field.observations)) return {};
       return s.field.max_gap_hours;
     }},
    {{"constraints.families.<family>", KeyType::family_constraints, "", false,
      "a family's members (\"2 N2O5\": weight 2) scaled together to an observed total: from_records = true, "
      "or file_column = \"NAME\" of the constraints file",
      "{ members = [\"NO\", \"NO2\"], from_records = true }"},
     [](R r, N n, K k, I item, S& s) {
       const toml::table* t = n.as_table();
       if (t == nullptr)
         r.fail(&n, k, std::string("expected a table { members = [...], from_records = true } or "
                                   "{ members = [...], file_column = \"NAME\" }, found ") + KeyReader::type_name(n));
       FamilyConstraint f;
       f.name = std::string(item);
       f.source = r.value_source(&n, k);
       for (auto&& [name, value] : *t) {
         const std::string sub = k + "." + std::string(name.str());
         if (name == "members") {
           for (const std::string& m : r.strings(value, sub)) f.members.push_back(family_member(r, value, sub, m));
           if (f.members.empty()) r.fail(&value, sub, "expected at least one member");
         } else if (name == "from_records") {
           f.from_records = r.boolean(value, sub);
         } else if (name == "file_column") {
           f.file_column = r.text(value, sub);
           if (f.file_column.empty()) r.fail(&value, sub, "expected a column name, found an empty string");
         } else {
           r.fail(&value, sub, "unknown key (expected members, from_records or file_column)");
         }
       }
       if (f.members.empty()) r.fail(&n, k, "missing: members = [\"SPECIES\", ...]");
       if (f.from_records == !f.file_column.empty())
         r.fail(&n, k, f.from_records ? "expected one source of the total, found both from_records and file_column"
                                      : "expected a source of the total: from_records = true or file_column = \"NAME\"");
       s.field.families.push_back(std::move(f));
     },
     nullptr,
     [](const S& s, D d) {
       for (const FamilyConstraint& f : s.field.families) d.emplace_back("constraints.families." + f.name, family_text(f));
     },
     [](const S& s, T t) {
       for (const FamilyConstraint& f : s.field.families) {
         toml::table family;
         std::vector<std::string> members;
         for (const FamilyMember& m : f.members) members.push_back(member_text(m));
         family.insert("members", array_of(members));
         if (f.from_records) family.insert("from_records", true);
         else family.insert("file_column", f.file_column);
         table_at(t, "constraints.families").insert_or_assign(f.name, std::move(family));
       }
     }},
    // ------------------------------------------------ emissions, deposition
    {{"emissions.mixing_height_m", KeyType::number, "1000", false,
      "height of the mixed layer emissions and deposition act over, m", "500.0"},
     [](R r, N n, K k, I, S& s) {
       const double h = r.number(n, k);
       if (!(h > 0.0)) r.fail(&n, k, "expected a positive height in m, found " + format_number(h));
       s.field.exchange.mixing_height_m = h;
       s.field.exchange.mixing_height_source = r.value_source(&n, k);
     },
     [](const S& s, W w) -> V {
       if (w == Writer::description) {
         if (!s.field.open()) return {};
         return s.field.exchange.mixing_height_m.value_or(0.0);
       }
       // [environment] mixing_height_m, when given, says the same.
       if (!s.field.exchange.mixing_height_m || s.environment.mixing_height_m) return {};
       return *s.field.exchange.mixing_height_m;
     }},
    {{"emissions.profile", KeyType::text, "constant", false,
      "\"constant\", or \"daylight\": follows cos(zenith), none at night, same daily total", "\"daylight\""},
     [](R r, N n, K k, I, S& s) {
       s.field.emission_profile_source = r.value_source(&n, k);
       s.field.emission_profile =
           emission_profile_from_name(r.word(n, k, {"constant", "daylight"}), s.field.emission_profile_source);
     },
     [](const S& s, W w) -> V {
       if (!(w == Writer::description ? s.field.open() : writes_emissions(s.field))) return {};
       return word(s.field.emission_profile == EmissionProfile::daylight ? "daylight" : "constant");
     }},
    {{"emissions.<species>", KeyType::numbers_by_species, "", false,
      "emission flux, molecules cm-2 s-1, spread over the mixing height", "5e10"},
     [](R r, N n, K k, I item, S& s) { s.field.exchange.emissions.push_back(species_value(r, n, k, item)); },
     nullptr,
     [](const S& s, D d) { describe_values(d, "emissions", s.field.exchange.emissions); },
     [](const S& s, T t) { write_values(t, "emissions", s.field.exchange.emissions); },
     [](R r, N n, K k, const S& s) {
       const double h_m = s.field.exchange.mixing_height_m.value_or(1000.0);
       const double bound = densest_air_per_cm3 * h_m * 100.0;
       const double e = r.number(n, k);
       if (e > bound) {
         char limit[32];
         std::snprintf(limit, sizeof limit, "%.3g", bound);
         r.fail(&n, k, std::string("expected at most ") + limit +
                           " molecules cm-2 s-1 (more would replace the air of the " + format_number(h_m) +
                           " m mixing layer with the species within a second: a unit mistake), found " +
                           format_number(e));
       }
     }},
    {{"deposition.<species>", KeyType::numbers_by_species, "", false,
      "deposition velocity, cm s-1, over the mixing height", "0.4"},
     [](R r, N n, K k, I item, S& s) {
       s.field.exchange.deposition.push_back(species_value(r, n, k, item));
       note_unit_slip(r, n, k, "deposition", s.field.exchange.deposition.back().value, s);
     },
     nullptr,
     [](const S& s, D d) { describe_values(d, "deposition", s.field.exchange.deposition); },
     [](const S& s, T t) { write_values(t, "deposition", s.field.exchange.deposition); }},
    // -------------------------------------------------------------- dilution
    {{"dilution.rate_per_s", KeyType::number, "0", false, "first-order exchange with background air, s-1", "1e-5"},
     [](R r, N n, K k, I, S& s) {
       s.field.exchange.dilution_per_s = r.number(n, k);
       s.field.exchange.dilution_source = r.value_source(&n, k);
       if (s.field.exchange.dilution_per_s < 0.0)
         r.fail(&n, k, "expected a rate of 0 s-1 or more, found " + format_number(s.field.exchange.dilution_per_s));
     },
     [](const S& s, W) -> V {
       if (!writes_dilution(s.field)) return {};
       return s.field.exchange.dilution_per_s;
     }},
    {{"dilution.background.<species>", KeyType::numbers_by_species, "", false,
      "background mole fraction, ppb; species not named have background 0", "40.0"},
     [](R r, N n, K k, I item, S& s) {
       SpeciesSetting v = species_value(r, n, k, item);
       check_ppb(r, n, k, v.value);
       s.field.exchange.background.push_back(std::move(v));
     },
     nullptr,
     [](const S& s, D d) { describe_values(d, "dilution.background", s.field.exchange.background); },
     [](const S& s, T t) {
       if (writes_dilution(s.field)) table_at(t, "dilution.background");  // written even when empty
       write_values(t, "dilution.background", s.field.exchange.background);
     }},
    // ----------------------------------------------------------------- walls
    {{"walls.loss_per_s.<species>", KeyType::numbers_by_species, "", false,
      "first-order wall loss, s-1; \"default\" for every species not named", "2e-5"},
     [](R r, N n, K k, I item, S& s) {
       ExchangeSettings& e = s.field.exchange;
       if (item == "default") {
         e.wall_default = r.number(n, k);
         e.wall_default_source = r.value_source(&n, k);
         if (!(e.wall_default >= 0.0))
           r.fail(&n, k, "expected a rate of 0 s-1 or more, found " + format_number(e.wall_default));
         return;
       }
       SpeciesSetting v = species_value(r, n, k, item);
       if (!(v.value >= 0.0)) r.fail(&n, k, "expected a rate of 0 s-1 or more, found " + format_number(v.value));
       e.wall_loss.push_back(std::move(v));
     },
     nullptr,
     [](const S& s, D d) {
       if (s.field.exchange.wall_default != 0.0)
         d.emplace_back("walls.loss_per_s.default", format_number(s.field.exchange.wall_default));
       describe_values(d, "walls.loss_per_s", s.field.exchange.wall_loss);
     },
     [](const S& s, T t) {
       if (s.field.exchange.wall_default != 0.0) put(t, "walls.loss_per_s.default", s.field.exchange.wall_default);
       write_values(t, "walls.loss_per_s", s.field.exchange.wall_loss);
     }},
    {{"walls.sampling_per_s", KeyType::number, "0", false,
      "dilution by the sampling flow with clean air, s-1 (every species)", "1e-5"},
     [](R r, N n, K k, I, S& s) {
       ExchangeSettings& e = s.field.exchange;
       e.sampling_per_s = r.number(n, k);
       e.sampling_source = r.value_source(&n, k);
       if (!(e.sampling_per_s >= 0.0))
         r.fail(&n, k, "expected a rate of 0 s-1 or more, found " + format_number(e.sampling_per_s));
     },
     [](const S& s, W w) -> V {
       const ExchangeSettings& e = s.field.exchange;
       if (!e.walls()) return {};
       // Given by volume and flow, they are written instead.
       if (w == W::toml && (e.sampling_per_s == 0.0 || e.volume_m3)) return {};
       return e.sampling_per_s;
     }},
    {{"walls.volume_m3", KeyType::number, "", false,
      "the chamber's volume, m3: with flow_m3_per_s, the sampling rate is flow / volume", "27.0"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       if (!(v > 0.0)) r.fail(&n, k, "expected a volume above 0 m3, found " + format_number(v));
       s.field.exchange.volume_m3 = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.field.exchange.volume_m3); }},
    {{"walls.flow_m3_per_s", KeyType::number, "", false,
      "the sampling flow, m3 s-1, replaced by clean air (with volume_m3)", "2.7e-4"},
     [](R r, N n, K k, I, S& s) {
       const double f = r.number(n, k);
       if (!(f >= 0.0)) r.fail(&n, k, "expected a flow of 0 m3 s-1 or more, found " + format_number(f));
       s.field.exchange.flow_m3_per_s = f;
     },
     [](const S& s, W) -> V { return number_if_given(s.field.exchange.flow_m3_per_s); }},
    // ------------------------------------------------------------- injection
    {{"injection.time_h", KeyType::number, "", false,
      "[[injection]]: local time of the run's clock, h, at which the amount is added at once", "6.0"},
     [](R r, N n, K k, I, S& s) {
       Injection& i = s.field.injections.back();
       i.time_h = r.number(n, k);
       i.has_time = true;
       i.source = r.value_source(&n, k);
     },
     nullptr,
     [](const S& s, D d) { describe_injections(d, "injection.time_h", s, [](const Injection& i) { return format_number(i.time_h); }); },
     [](const S& s, T t) {
       if (s.field.injections.empty()) return;
       toml::array a;
       for (const Injection& i : s.field.injections) {
         toml::table e;
         e.insert("time_h", i.time_h);
         e.insert("species", i.species);
         e.insert(i.molecules_cm3 ? "molecules_cm3" : "ppb", i.amount);
         a.push_back(std::move(e));
       }
       t.insert_or_assign("injection", std::move(a));
     }},
    {{"injection.species", KeyType::text, "", false, "[[injection]]: the species added", "\"O3\""},
     [](R r, N n, K k, I, S& s) {
       Injection& i = s.field.injections.back();
       i.species = r.text(n, k);
       i.species_source = r.value_source(&n, k);
       if (!r.names_from_file()) i.species = species_name(r.integrated_species(n, k, i.species));
     },
     nullptr,
     [](const S& s, D d) { describe_injections(d, "injection.species", s, [](const Injection& i) { return i.species; }); },
     [](const S&, T) {}},
    {{"injection.ppb", KeyType::number, "", false, "[[injection]]: the amount added, ppb", "50.0"},
     [](R r, N n, K k, I, S& s) { read_injected_amount(r, n, k, s, false); },
     nullptr,
     [](const S& s, D d) {
       describe_injections(d, "injection.ppb", s,
                           [](const Injection& i) { return i.molecules_cm3 ? std::string("-") : format_number(i.amount); });
     },
     [](const S&, T) {}},
    {{"injection.molecules_cm3", KeyType::number, "", false, "[[injection]]: the amount added, molecules cm-3",
      "1e12"},
     [](R r, N n, K k, I, S& s) { read_injected_amount(r, n, k, s, true); },
     nullptr,
     [](const S& s, D d) {
       describe_injections(d, "injection.molecules_cm3", s,
                           [](const Injection& i) { return i.molecules_cm3 ? format_number(i.amount) : std::string("-"); });
     },
     [](const S&, T) {}},
    // ----------------------------------------------------------- environment
    {{"environment.temperature_K", KeyType::number, "", false,
      "air temperature, K (150 to 350), instead of the site records'", "291.45"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       if (!(v >= 150.0 && v <= 350.0)) r.fail(&n, k, "expected a temperature from 150 to 350 K, found " + format_number(v));
       note_unit_slip(r, n, k, "temperature_K", v, s);
       s.environment.temperature_K = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.environment.temperature_K); }},
    {{"environment.pressure_Pa", KeyType::number, "", false, "air pressure, Pa (100 to 120000)", "95020"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       if (!(v >= 100.0 && v <= 120000.0))
         r.fail(&n, k, "expected a pressure from 100 to 120000 Pa, found " + format_number(v));
       note_unit_slip(r, n, k, "pressure_Pa", v, s);
       s.environment.pressure_Pa = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.environment.pressure_Pa); }},
    {{"environment.relative_humidity", KeyType::number, "", false,
      "percent over liquid water (a note above 100, an error above 105); or h2o_ppb or h2o_molecules_cm3",
      "67.4"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       const std::string note = checked(r, n, k, [&](const std::string& w) { return check_relative_humidity(v, w); });
       if (!note.empty()) s.notes.push_back(note);
       note_unit_slip(r, n, k, "relative_humidity", v, s);
       s.environment.relative_humidity = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.environment.relative_humidity); }},
    {{"environment.h2o_ppb", KeyType::number, "", false, "water vapour mole fraction, ppb", "1.5e7"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       if (v < 0.0) r.fail(&n, k, "expected a mole fraction of 0 ppb or more, found " + format_number(v));
       check_ppb(r, n, k, v);
       s.environment.h2o_ppb = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.environment.h2o_ppb); }},
    {{"environment.h2o_molecules_cm3", KeyType::number, "", false, "water vapour, molecules cm-3", "3e17"},
     [](R r, N n, K k, I, S& s) {
       const double v = r.number(n, k);
       if (v < 0.0) r.fail(&n, k, "expected 0 molecules cm-3 or more, found " + format_number(v));
       if (v > densest_air_per_cm3)
         r.fail(&n, k, "expected at most the densest air's " + format_number(densest_air_per_cm3) +
                           " molecules cm-3, found " + format_number(v));
       s.environment.h2o_molecules_cm3 = v;
     },
     [](const S& s, W) -> V { return number_if_given(s.environment.h2o_molecules_cm3); }},
    {{"environment.mixing_height_m", KeyType::number, "", false,
      "height of the mixed layer emissions and deposition act over, m (replaces [emissions] mixing_height_m)",
      "800.0"},
     [](R r, N n, K k, I, S& s) {
       const double h = r.number(n, k);
       if (!(h > 0.0)) r.fail(&n, k, "expected a positive height in m, found " + format_number(h));
       s.environment.mixing_height_m = h;
       s.field.exchange.mixing_height_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V { return number_if_given(s.environment.mixing_height_m); }},
    {{"environment.file", KeyType::path, "", true,
      "a time series: header time_h plus any of the names above, values in their units", "\"met.csv\""},
     [](R r, N n, K k, I, S& s) { s.environment.file = r.path(n, k); },
     [](const S& s, W) -> V { return path_if_given(s.environment.file); }},
    {{"environment.interpolation", KeyType::text, "linear", false,
      "of the file's columns (and the photolysis and rate parameters files'): \"linear\" or \"step\"", "\"step\""},
     [](R r, N n, K k, I, S& s) {
       s.environment.interpolation = interpolation_from_name(r.word(n, k, {"linear", "step"}), r.value_source(&n, k));
     },
     [](const S& s, W) -> V {
       if (s.environment.interpolation != Interpolation::step) return {};
       return word("step");
     }},
    // ------------------------------------------------------------ photolysis
    {{"photolysis.method", KeyType::text, "specified", false,
      "\"specified\" (the built-in mechanism's default), \"mcm\" (a mechanism file's default), \"file\", \"none\"",
      "\"mcm\""},
     [](R r, N n, K k, I, S& s) {
       const std::string v = r.text(n, k);
       s.photolysis.method = checked(r, n, k, [&](const std::string& w) { return photolysis_method_from_name(v, w); });
       s.photolysis.method_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V {
       if (!s.photolysis.method) return {};
       return word(method_name(*s.photolysis.method));
     }},
    {{"photolysis.file", KeyType::path, "", true,
      "method \"file\": a time series time_h,J1,J4,... (s-1, one column per MCM channel)", "\"j.csv\""},
     [](R r, N n, K k, I, S& s) {
       s.photolysis.file = r.path(n, k);
       s.photolysis.file_source = r.value_source(&n, k);
     },
     [](const S& s, W) -> V { return path_if_given(s.photolysis.file); }},
    {{"photolysis.factor", KeyType::number, "", false,
      "multiplies every calculated frequency (replaces [chemistry] photolysis_factor)", "0.8"},
     [](R r, N n, K k, I, S& s) {
       const double f = r.number(n, k);
       if (f < 0.0) r.fail(&n, k, "expected a factor of 0 or more, found " + format_number(f));
       s.photolysis.factor = f;
     },
     [](const S& s, W) -> V { return number_if_given(s.photolysis.factor); }},
    {{"photolysis.scale_to_observed", KeyType::text, "", false,
      "\"\" or the column (of the environment file, else the constraints file) of the measured J4, s-1",
      "\"J4\""},
     [](R r, N n, K k, I, S& s) { s.photolysis.scale_to_observed = r.text(n, k); },
     [](const S& s, W) -> V {
       if (s.photolysis.scale_to_observed.empty()) return {};
       return s.photolysis.scale_to_observed;
     }},
    {{"photolysis.cloud_correction", KeyType::boolean, "false", false,
      "true: times the records' radiation over clear-sky radiation, bounded to [0, 1.5]", "true"},
     [](R r, N n, K k, I, S& s) { s.photolysis.cloud_correction = r.boolean(n, k); },
     [](const S& s, W) -> V { return true_if(s.photolysis.cloud_correction); }},
    // --------------------------------------------------------------- spin_up
    {{"spin_up.max_days", KeyType::whole_number, "10", false,
      "repeat the first 24 hours' forcing until the day repeats itself, at most this many days", "5"},
     [](R r, N n, K k, I, S& s) {
       s.spin_up.max_days = r.whole_number(n, k);
       if (s.spin_up.max_days < 1 || s.spin_up.max_days > 3660)
         r.fail(&n, k, "expected a whole number of days from 1 to 3660, found " + std::to_string(s.spin_up.max_days));
     },
     [](const S& s, W) -> V {
       if (!s.spin_up.enabled) return {};
       return s.spin_up.max_days;
     }},
    {{"spin_up.tolerance", KeyType::number, "0.001", false,
      "relative change of each checked species between the same time on successive days", "1e-4"},
     [](R r, N n, K k, I, S& s) {
       s.spin_up.tolerance = r.number(n, k);
       if (!(s.spin_up.tolerance > 0.0 && s.spin_up.tolerance < 1.0))
         r.fail(&n, k, "expected a relative change above 0 and below 1, found " + format_number(s.spin_up.tolerance));
     },
     [](const S& s, W) -> V {
       if (!s.spin_up.enabled) return {};
       return s.spin_up.tolerance;
     }},
    {{"spin_up.species", KeyType::names, "", false, "checked species (default: every species above 1e-6 ppb)",
      "[\"O3\"]"},
     [](R r, N n, K k, I, S& s) { s.spin_up.species = r.strings(n, k); },
     [](const S& s, W) -> V {
       if (!s.spin_up.enabled || s.spin_up.species.empty()) return {};
       return s.spin_up.species;
     }},
    {{"spin_up.output", KeyType::text, "last", false,
      "\"last\": only the converged day is written; \"all\": every day, with a day coordinate", "\"all\""},
     [](R r, N n, K k, I, S& s) { s.spin_up.output_all = r.word(n, k, {"last", "all"}) == "all"; },
     [](const S& s, W) -> V {
       if (!s.spin_up.enabled) return {};
       return word(s.spin_up.output_all ? "all" : "last");
     }},
    // ---------------------------------------------------------------- output
    {{"output.dir", KeyType::path, ".", true, "folder of the output files, created if missing", "\"out\"",
      "--output-dir", "Folder for the output files"},
     [](R r, N n, K k, I, S& s) { s.output.dir = r.path(n, k); },
     [](const S& s, W) -> V { return format_path(s.output.dir); }},
    {{"output.species", KeyType::species_selection, "table", false,
      "\"table\" (the 15 of the species table), \"all\", or a list of names", "[\"O3\", \"NO2\"]", "--species",
      "Species of the CSV and NetCDF outputs: table, all, or names separated by commas"},
     [](R r, N n, K k, I, S& s) {
       SpeciesSelection& sel = s.output.species;
       sel = {};
       if (n.is_string()) {
         const std::string v = r.text(n, k);
         if (v == "table") sel.kind = SpeciesSelection::Kind::table;
         else if (v == "all") sel.kind = SpeciesSelection::Kind::all;
         else r.fail(&n, k, "expected \"table\", \"all\" or a list of species names, found \"" + v + "\"");
         return;
       }
       sel.kind = SpeciesSelection::Kind::list;
       for (const std::string& name : r.strings(n, k)) {
         if (r.names_from_file()) {
           if (std::find(sel.names.begin(), sel.names.end(), name) != sel.names.end())
             r.fail(&n, k, "\"" + name + "\" is listed twice");
           sel.names.push_back(name);
           continue;
         }
         const int index = find_species(name).value_or(0);
         if (index == 0) {
           std::string what = "no species named \"" + name + "\"";
           const std::vector<std::string_view> names(mech::species_names.begin(), mech::species_names.end());
           what += close_names_note(name, names);
           r.fail(&n, k, what);
         }
         if (std::find(sel.list.begin(), sel.list.end(), index) != sel.list.end())
           r.fail(&n, k, "\"" + name + "\" is listed twice");
         sel.list.push_back(index);
         sel.names.push_back(species_name(index));
       }
       if (sel.names.empty()) r.fail(&n, k, "expected at least one species");
     },
     [](const S& s, W) -> V {
       switch (s.output.species.kind) {
         case SpeciesSelection::Kind::table: return word("table");
         case SpeciesSelection::Kind::all: return word("all");
         case SpeciesSelection::Kind::list: break;
       }
       return s.output.species.names;
     }},
    {{"output.every_seconds", KeyType::whole_number, "3600", false, "output interval, a multiple of step_seconds",
      "1800"},
     [](R r, N n, K k, I, S& s) {
       s.output.every_seconds = r.whole_number(n, k);
       if (s.output.every_seconds < 1)
         r.fail(&n, k, "expected a positive number of seconds, found " + std::to_string(s.output.every_seconds));
     },
     [](const S& s, W) -> V { return s.output.every_seconds; }},
    {{"output.formats", KeyType::names, "table", false, "any of \"table\", \"csv\", \"netcdf\"",
      "[\"csv\", \"netcdf\"]", "--format", "Outputs, separated by commas: table, csv, netcdf"},
     [](R r, N n, K k, I, S& s) {
       OutputSettings& o = s.output;
       o.formats.clear();
       for (const std::string& f : r.strings(n, k)) {
         OutputFormat format;
         if (f == "table") format = OutputFormat::table;
         else if (f == "csv") format = OutputFormat::csv;
         else if (f == "netcdf") format = OutputFormat::netcdf;
         else r.fail(&n, k, "expected \"table\", \"csv\" or \"netcdf\", found \"" + f + "\"");
         if (!o.wants(format)) o.formats.push_back(format);
       }
     },
     [](const S& s, W) -> V {
       std::vector<std::string> names;
       for (OutputFormat f : s.output.formats) names.emplace_back(format_name(f));
       return names;
     }},
    {{"output.progress_lines", KeyType::boolean, "true", false, "the per-step progress lines on standard output",
      "false", "--quiet,-q", "No progress lines on standard output"},
     [](R r, N n, K k, I, S& s) { s.output.progress_lines = r.boolean(n, k); },
     [](const S& s, W) -> V { return s.output.progress_lines; }},
    {{"output.budgets", KeyType::boolean, "false", false,
      "integrated reaction rates and species budgets per output interval", "true", "--budgets",
      "Integrated reaction rates and species budgets per output interval"},
     [](R r, N n, K k, I, S& s) { s.output.budgets = r.boolean(n, k); },
     [](const S& s, W) -> V { return s.output.budgets; }},
    {{"output.budget_species", KeyType::names, "O3,NO,NO2,HO,HO2,BRO", false,
      "species whose budgets are written (integrated species)", "[\"O3\", \"HO\"]"},
     [](R r, N n, K k, I, S& s) {
       s.output.budget_species.clear();
       for (const std::string& name : r.strings(n, k)) {
         if (r.names_from_file()) {
           s.output.budget_species.push_back(name);
           continue;
         }
         const int index = find_species(name).value_or(0);
         if (index < 1 || index > nvar) {
           std::string what = "\"" + name + "\" is no integrated species";
           const std::vector<std::string_view> names(mech::species_names.begin(), mech::species_names.end());
           if (index == 0) what += close_names_note(name, names);
           r.fail(&n, k, what);
         }
         s.output.budget_species.push_back(species_name(index));
       }
     },
     // Described where budgets are written; always written back.
     [](const S& s, W w) -> V {
       if (w == Writer::description && !s.output.budgets) return {};
       return s.output.budget_species;
     }},
    {{"output.units", KeyType::text, "ppb", false, "of the CSV outputs: \"ppb\" or \"molecules cm-3\"",
      "\"molecules cm-3\""},
     [](R r, N n, K k, I, S& s) { s.output.units = units_from(r, n, k); },
     [](const S& s, W) -> V {
       if (s.output.units == ConcentrationUnit::ppb) return {};
       return word(units_name(s.output.units));
     }},
    {{"output.photolysis", KeyType::boolean, "false", false,
      "photolysis.csv: time_h and every photolysis frequency used, s-1", "true"},
     [](R r, N n, K k, I, S& s) { s.output.photolysis = r.boolean(n, k); },
     [](const S& s, W) -> V { return true_if(s.output.photolysis); }},
    {{"output.diagnostics", KeyType::boolean, "false", false,
      "diagnostics.csv: OH reactivity, the RO2 sum, P(O3) and L(O3)", "true"},
     [](R r, N n, K k, I, S& s) { s.output.diagnostics = r.boolean(n, k); },
     [](const S& s, W) -> V { return true_if(s.output.diagnostics); }},
    {{"output.families.<family>", KeyType::names_by_family, "", false,
      "a family's members, for its production and loss in the budgets", "[\"O3\", \"NO2\", \"O3P\", \"O1D\"]"},
     [](R r, N n, K k, I item, S& s) {
       OutputFamily f{std::string(item), r.strings(n, k)};
       if (f.members.empty()) r.fail(&n, k, "expected at least one member");
       for (const std::string& m : f.members) (void)family_member(r, n, k, m);  // "NAME" or "WEIGHT NAME"
       for (std::size_t i = 0; i < f.members.size(); ++i)
         if (std::find(f.members.begin(), f.members.begin() + static_cast<std::ptrdiff_t>(i), f.members[i]) !=
             f.members.begin() + static_cast<std::ptrdiff_t>(i))
           r.fail(&n, k, "\"" + f.members[i] + "\" is listed twice");
       s.output.families.push_back(std::move(f));
     },
     nullptr,
     [](const S& s, D d) {
       for (const OutputFamily& f : s.output.families) d.emplace_back("output.families." + f.name, comma_list(f.members));
     },
     [](const S& s, T t) {
       for (const OutputFamily& f : s.output.families)
         table_at(t, "output.families").insert_or_assign(f.name, array_of(f.members));
     }},
};

// A key's value as the output files' records describe it.
std::string value_text(const KeyValue& v) {
  return std::visit(
      [](const auto& x) -> std::string {
        using X = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<X, bool>) return x ? "true" : "false";
        else if constexpr (std::is_same_v<X, int>) return std::to_string(x);
        else if constexpr (std::is_same_v<X, double>) return format_number(x);
        else if constexpr (std::is_same_v<X, std::string>) return x;
        else return comma_list(x);
      },
      v);
}

// A key's value into `root` at its dotted key, as a TOML value of its type.
void put_value(toml::table& root, std::string_view key, const KeyValue& v) {
  std::visit(
      [&](const auto& x) {
        if constexpr (std::is_same_v<std::decay_t<decltype(x)>, std::vector<std::string>>) put(root, key, array_of(x));
        else put(root, key, x);
      },
      v);
}

std::vector<ScenarioKey> public_keys() {
  std::vector<ScenarioKey> keys;
  for (const KeyEntry& e : entries) keys.push_back(e.key);
  return keys;
}

}  // namespace

std::string unit_slip(std::string_view quantity, double v) {
  const std::string value = shown(v);
  if (quantity == "temperature_K" && (v < 180.0 || v > 330.0))
    return value + " K is " + (v < 180.0 ? "below 180 K" : "above 330 K") +
           ", beyond any boundary layer's air (a slip of units or digits?); taken as given";
  if (quantity == "pressure_Pa" && v < 10000.0)
    return value + " Pa is below 10000 Pa, far thinner than any boundary layer's air (hPa given for Pa?); "
                   "taken as given";
  if (quantity == "relative_humidity" && v > 0.0 && v <= 1.0)
    return value + " % is at most 1 % (a fraction given for percent?); taken as given";
  if (quantity == "deposition" && v > 5.0)
    return value + " cm s-1 is above 5 cm s-1, faster than any surface takes up a gas (mm s-1 given for cm s-1?); "
                   "taken as given";
  return {};
}

std::span<const KeyEntry> key_entries() { return entries; }

void describe_key(const KeyEntry& e, const Scenario& s, Description& d) {
  if (e.value == nullptr) return e.describe(s, d);
  if (const auto v = e.value(s, Writer::description)) d.emplace_back(std::string(e.key.name), value_text(*v));
}

void write_key(const KeyEntry& e, const Scenario& s, toml::table& root) {
  if (e.value == nullptr) return e.write(s, root);
  if (const auto v = e.value(s, Writer::toml)) put_value(root, e.key.name, *v);
}

std::span<const ScenarioKey> scenario_keys() {
  static const std::vector<ScenarioKey> keys = public_keys();
  return keys;
}

const ScenarioKey* find_scenario_key(std::string_view dotted) {
  for (const ScenarioKey& k : scenario_keys()) {
    if (k.name == dotted) return &k;
    if (!k.is_table()) continue;
    const std::string_view section = k.section();
    if (dotted.size() > section.size() + 1 && dotted.starts_with(section) && dotted[section.size()] == '.' &&
        (k.type == KeyType::numbers_by_name || dotted.find('.', section.size() + 1) == std::string_view::npos)) {
      // A name of the section's own keys ("initial.from_first_record") is
      // not an item of its table.
      const bool named = std::any_of(scenario_keys().begin(), scenario_keys().end(), [&](const ScenarioKey& o) {
        return !o.is_table() && o.name == dotted;
      });
      if (!named) return &k;
    }
  }
  return nullptr;
}

std::vector<std::string> scenario_sections() {
  std::vector<std::string> out;
  const auto add = [&](std::string_view section) {
    if (std::find(out.begin(), out.end(), section) == out.end()) out.emplace_back(section);
  };
  for (const ScenarioKey& k : scenario_keys()) {
    // Every enclosing section: "dilution", then "dilution.background".
    const std::string_view section = k.section();
    for (std::size_t dot = section.find('.'); dot != std::string_view::npos; dot = section.find('.', dot + 1))
      add(section.substr(0, dot));
    add(section);
  }
  return out;
}

}  // namespace box
