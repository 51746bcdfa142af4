// Scenario files: every key read into its place, paths taken from the
// file's folder, dotted-key overrides on top of the file, the TOML written
// back reading to the same scenario, and refusals naming file, line and key.
#include "scenario/scenario_file.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "mechanism/species_lookup.hpp"
#include "scenario/schema.hpp"
#include "tests/support/scratch_dir.hpp"

namespace box {
namespace {

namespace fs = std::filesystem;

constexpr const char* full_scenario = R"(# an evening over the city
[site]
parameters = "site/inputn"
records = "/data/records.txt"
records_layout = "free"

[time]
start_hour = 18.5
step_seconds = 600
hours = 30

[initial]
O3 = 35.0
no = 2.5
from_first_record = true

[chemistry]
method = "rodas4"
rtol = 1e-6
atol = 10
photolysis_factor = 0.5
rate_factors = { R60 = 2.0, R42 = 0.7 }

[constraints]
from_records = ["O3", "NO2"]
interpolation = "step"

[emissions]
mixing_height_m = 800
profile = "daylight"
NO = 2e10

[deposition]
SULF = 0.5

[dilution]
rate_per_s = 1e-5
background = { CO = 120 }

[output]
dir = "out"
species = ["O3", "HO"]
every_seconds = 1800
formats = ["csv", "netcdf", "csv"]
progress_lines = false
)";

TEST(ScenarioFile, DefaultsAreTheModelDay) {
  const Scenario s = parse_scenario("", "empty.toml", "cases");
  EXPECT_EQ(s.source, "empty.toml");
  // Paths the file does not set keep the model's own: the working
  // directory's files, as the run without arguments reads and writes them.
  EXPECT_EQ(s.site.parameters, "inputn");
  EXPECT_EQ(s.site.records, "ValuesAtSite_extractedFromWRFchemAug31.txt_test");
  EXPECT_EQ(s.output.dir, ".");
  EXPECT_EQ(s.site.records_layout, RecordsLayout::lines);
  EXPECT_EQ(s.time.start_hour, 5.0);
  EXPECT_EQ(s.time.step_seconds, 300);
  EXPECT_EQ(s.total_steps(), 204);
  EXPECT_EQ(s.records_needed(), 17);
  EXPECT_EQ(s.steps_per_output(), 12);
  EXPECT_EQ(s.chemistry.method, "ros3");
  EXPECT_EQ(s.method_number(), 2);
  EXPECT_TRUE(s.initial.empty());
  EXPECT_FALSE(s.field.open());
  EXPECT_EQ(s.output.formats, std::vector<OutputFormat>{OutputFormat::table});
  EXPECT_TRUE(s.output.progress_lines);
  EXPECT_TRUE(s.check_inputs_first);
}

TEST(ScenarioFile, EveryKeyInItsPlace) {
  const Scenario s = parse_scenario(full_scenario, "cases/evening.toml", "cases");
  EXPECT_EQ(s.site.parameters, "cases/site/inputn");
  EXPECT_EQ(s.site.records, "/data/records.txt");  // absolute stays
  EXPECT_EQ(s.site.records_layout, RecordsLayout::free);
  EXPECT_EQ(s.time.start_hour, 18.5);
  EXPECT_EQ(s.total_steps(), 180);
  EXPECT_EQ(s.records_needed(), 30);
  EXPECT_EQ(s.steps_per_output(), 3);
  ASSERT_EQ(s.initial.size(), 2u);
  EXPECT_EQ(s.initial[0].species, ind_o3);
  EXPECT_EQ(s.initial[1].species, ind_no);  // names in any case
  EXPECT_EQ(s.initial[1].ppb, 2.5);
  EXPECT_EQ(s.method_number(), 5);
  EXPECT_EQ(s.chemistry.rtol, 1e-6);
  EXPECT_EQ(s.chemistry.atol, 10.0);
  EXPECT_EQ(s.chemistry.photolysis_factor, 0.5);
  // In reaction order, whatever the file's.
  ASSERT_EQ(s.chemistry.rate_factors.size(), 2u);
  EXPECT_EQ(s.chemistry.rate_factors[0].reaction, 42);
  EXPECT_EQ(s.chemistry.rate_factors[1].reaction, 60);
  EXPECT_EQ(s.chemistry.rate_factors[1].factor, 2.0);
  const FieldSettings& f = s.field;
  EXPECT_TRUE(f.initial_from_first_record);
  ASSERT_EQ(f.from_records.size(), 2u);
  EXPECT_EQ(f.from_records[1].species, "NO2");
  EXPECT_EQ(f.interpolation, Interpolation::step);
  EXPECT_EQ(f.emission_profile, EmissionProfile::daylight);
  EXPECT_EQ(f.exchange.mixing_height_m, 800.0);
  ASSERT_EQ(f.exchange.emissions.size(), 1u);
  EXPECT_EQ(f.exchange.emissions[0].value, 2e10);
  EXPECT_EQ(f.exchange.emissions[0].source.describe(), "cases/evening.toml: line 31: emissions.NO");
  EXPECT_EQ(f.exchange.deposition[0].species, "SULF");
  EXPECT_EQ(f.exchange.dilution_per_s, 1e-5);
  EXPECT_EQ(f.exchange.background[0].species, "CO");
  EXPECT_EQ(s.output.dir, "cases/out");
  EXPECT_EQ(s.output.species.kind, SpeciesSelection::Kind::list);
  EXPECT_EQ(s.output.species.list, (std::vector<int>{ind_o3, ind_ho}));
  EXPECT_EQ(s.output.formats, (std::vector<OutputFormat>{OutputFormat::csv, OutputFormat::netcdf}));
  EXPECT_FALSE(s.output.progress_lines);
}

// Written back and read again, a scenario describes itself the same way
// (the initial values come back in name order: TOML tables are unordered).
std::vector<std::pair<std::string, std::string>> sorted_description(const Scenario& s) {
  auto d = describe_scenario(s);
  std::sort(d.begin(), d.end());
  return d;
}

TEST(ScenarioFile, WrittenBackReadsTheSame) {
  const Scenario s = parse_scenario(full_scenario, "cases/evening.toml", "cases");
  const Scenario again = parse_scenario(scenario_to_toml(s), "again.toml", "");
  EXPECT_EQ(sorted_description(again), sorted_description(s));
  EXPECT_EQ(again.chemistry.rtol, s.chemistry.rtol);
  EXPECT_EQ(again.field.exchange.dilution_per_s, s.field.exchange.dilution_per_s);
  const Scenario plain = default_scenario();
  EXPECT_EQ(describe_scenario(parse_scenario(scenario_to_toml(plain), "plain.toml", "")), describe_scenario(plain));
}

TEST(ScenarioFile, OverridesComeLastAndKeepTheirPaths) {
  const std::vector<KeyOverride> overrides = {
      {"time.step_seconds", std::int64_t{900}, "command line --step"},
      {"output.dir", std::string("elsewhere"), "command line --output-dir"},
      {"output.species", std::vector<std::string>{"NO2"}, "command line --species"},
      {"chemistry.rtol", 1e-4, "command line --rtol"},
  };
  const Scenario s = parse_scenario("[time]\nstep_seconds = 600\nhours = 3\n", "a.toml", "cases", overrides);
  EXPECT_EQ(s.time.step_seconds, 900);
  EXPECT_EQ(s.total_steps(), 12);
  EXPECT_EQ(s.output.dir, "elsewhere");  // as typed, not from the file's folder
  EXPECT_EQ(s.output.species.list, std::vector<int>{ind_no2});
  EXPECT_EQ(s.chemistry.rtol, 1e-4);
  // Without a file, the default scenario with the values.
  EXPECT_EQ(scenario_from_overrides(overrides).time.step_seconds, 900);
  // A refused override names where it came from.
  try {
    parse_scenario("", "a.toml", "", {{"time.step_seconds", std::int64_t{7}, "command line --step"}});
    FAIL() << "step 7 accepted";
  } catch (const ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("command line --step: time.step_seconds: ", 0), 0u) << e.what();
  }
}

std::string refusal(const std::string& toml) {
  try {
    parse_scenario(toml, "s.toml", "");
  } catch (const InputError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(ScenarioFile, RefusalsNameLineAndKey) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[tme]\nhours = 3\n", "s.toml: line 1: tme: unknown key (did you mean time?)"},
      {"[time]\n\nstep_secs = 600\n", "s.toml: line 3: time.step_secs: unknown key (did you mean step_seconds?)"},
      {"[initial]\nO33 = 20\n", "s.toml: line 2: initial.O33: no species of that name (close: O3"},
      {"[initial]\nM = 1\n", "s.toml: line 2: initial.M: M is the air itself"},
      {"[initial]\nNO = -1\n", "s.toml: line 2: initial.NO: expected a mole fraction of 0 ppb or more, found -1"},
      {"[time]\nhours = \"ten\"\n", "s.toml: line 2: time.hours: expected a number, found a string"},
      {"[time]\nhours = 0\n", "s.toml: line 2: time.hours: expected a positive length in hours, found 0"},
      {"[time]\nstart_hour = 24\n", "s.toml: line 2: time.start_hour: expected a local time from 0 up to 24"},
      {"[time]\nstep_seconds = 7\n", "s.toml: line 2: time.step_seconds: expected a whole number of seconds that divides 3600, found 7"},
      {"[time]\nstep_seconds = 300.5\n", "s.toml: line 2: time.step_seconds: expected a whole number, found 300.5"},
      {"[time]\nstep_seconds = 1\nhours = 0.0101\n", "s.toml: line 3: time.hours: 0.0101 hours is not a whole number of 1 s steps"},
      {"[output]\nevery_seconds = 450\n", "s.toml: line 2: output.every_seconds: expected a multiple of the step (300 s), found 450"},
      {"[output]\nformats = [\"xls\"]\n", "s.toml: line 2: output.formats: expected \"table\", \"csv\" or \"netcdf\", found \"xls\""},
      {"[output]\nspecies = [\"O3\", \"o3\"]\n", "s.toml: line 2: output.species: \"o3\" is listed twice"},
      {"[chemistry]\nmethod = \"rk4\"\n", "s.toml: line 2: chemistry.method: expected one of ros2, ros3, ros4, rodas3, rodas4"},
      {"[chemistry]\nrtol = 1.5\n", "s.toml: line 2: chemistry.rtol: expected a relative tolerance below 1"},
      {"[chemistry]\nrate_factors = { R250 = 2 }\n", "s.toml: line 2: chemistry.rate_factors.R250: no reaction of that name (expected R1 to R249)"},
      {"[chemistry]\nrate_factors = { R0 = 2 }\n", "s.toml: line 2: chemistry.rate_factors.R0: no reaction of that name"},
      {"[chemistry]\nrate_factors = { R007 = 2 }\n", "s.toml: line 2: chemistry.rate_factors.R007: no reaction of that name"},
      {"[chemistry]\nrate_factors = { R7 = -2 }\n", "s.toml: line 2: chemistry.rate_factors.R7: expected a factor of 0 or more"},
      {"[site]\nrecords_layout = \"loose\"\n", "s.toml: line 2: site.records_layout: expected \"lines\" or \"free\""},
      {"[constraints]\nspecies = [\"O3\"]\n", "s.toml: line 2: constraints.species: names columns of an observation file, but no file is given"},
      {"[constraints]\ninterpolation = \"cubic\"\n", "s.toml: line 2: constraints.interpolation: expected \"linear\" or \"step\""},
      {"[emissions]\nprofile = \"night\"\n", "s.toml: line 2: emissions.profile: expected"},
      {"[emissions]\nmixing_height_m = 0\n", "s.toml: line 2: emissions.mixing_height_m: expected a positive height in m, found 0"},
      {"[deposition]\nH2O = 1\n", "s.toml: line 2: deposition.H2O: not an integrated species"},
      {"[dilution]\nrate_per_s = -1e-5\n", "s.toml: line 2: dilution.rate_per_s: expected a rate of 0 s-1 or more"},
      {"[time]\nhours = 3\n[time]\n", "s.toml: line 3: "},
      {"time = 3\n", "s.toml: line 1: time: expected a table ([time])"},
      // Lengths and amounts no run can mean: unit mistakes.
      {"[time]\nhours = 1e6\n", "s.toml: line 2: time.hours: expected a length of at most 878400 hours (100 years"},
      {"[time]\nstep_seconds = 1\nhours = 800000\n", "s.toml: line 3: time.hours: 800000 hours is more steps of 1 s than the run can count"},
      {"[initial]\nO3 = 1e12\n", "s.toml: line 2: initial.O3: expected a mole fraction of at most 1e9 ppb (all of the air), found 1000000000000"},
      {"[dilution]\nbackground = { CO = 2e9 }\n", "s.toml: line 2: dilution.background.CO: expected a mole fraction of at most 1e9 ppb"},
      {"[emissions]\nNO = 1e30\n", "s.toml: line 2: emissions.NO: expected at most 5.79e+24 molecules cm-2 s-1"},
      {"[emissions]\nmixing_height_m = 10\nNO = 1e23\n", "s.toml: line 3: emissions.NO: expected at most 5.79e+22 molecules cm-2 s-1 (more would replace the air of the 10 m"},
  };
  for (const auto& [toml, message] : cases)
    EXPECT_EQ(refusal(toml).rfind(message, 0), 0u) << toml << "\ngave: " << refusal(toml);
}

TEST(ScenarioFile, MissingFile) {
  try {
    read_scenario_file("no/such/scenario.toml");
    FAIL();
  } catch (const ScenarioError& e) {
    EXPECT_EQ(std::string(e.what()), "no/such/scenario.toml: cannot read the scenario file: no such file or not readable");
  }
}

// Other keys of the same section a key is read or described only with.
std::string companions(const ScenarioKey& k) {
  if (k.name == "constraints.species") return "file = \"obs.csv\"\n";
  if (k.name == "constraints.interpolation") return "from_records = [\"O3\"]\n";
  if (k.name == "emissions.mixing_height_m" || k.name == "emissions.profile") return "NO = 5e10\n";
  if (k.name == "output.budget_species") return "budgets = true\n";
  return "";
}

// The schema's keys as a TOML file sets them: "[initial]\nO3 = 40.0".
std::string set_by_file(const ScenarioKey& k) {
  std::string last(k.last());
  if (last == "<species>") last = "O3";
  if (last == "R<n>") last = "R27";
  return "[" + std::string(k.section()) + "]\n" + last + " = " + std::string(k.example) + "\n" + companions(k);
}

// "initial.O3" for "initial.<species>", "chemistry.rate_factors.R27" for "R<n>".
std::string item_key(const ScenarioKey& k) {
  std::string key(k.name);
  if (const auto p = key.find("<species>"); p != std::string::npos) key.replace(p, 9, "O3");
  if (const auto p = key.find("R<n>"); p != std::string::npos) key.replace(p, 4, "R27");
  return key;
}

// Every key of the schema: set to its example it reads, is described for the
// output records with a value other than the default's, and is written by
// scenario_to_toml so that it reads back to the same scenario; its default
// is what the default scenario describes.
TEST(ScenarioSchema, EveryKeyReadsDescribesAndRoundTrips) {
  const auto described = [](const Scenario& s) {
    std::map<std::string, std::string> m;
    for (const auto& [k, v] : describe_scenario(s)) m[k] = v;
    return m;
  };
  const auto defaults = described(scenario_from_overrides({}));
  for (const auto& [key, value] : defaults) {
    const ScenarioKey* k = find_scenario_key(key);
    ASSERT_NE(k, nullptr) << key;
    EXPECT_EQ(k->default_value, value) << key;
  }
  ASSERT_GE(scenario_keys().size(), 29u);
  for (const ScenarioKey& k : scenario_keys()) {
    SCOPED_TRACE(std::string(k.name));
    EXPECT_FALSE(k.doc.empty());
    const std::string key = item_key(k);
    EXPECT_EQ(find_scenario_key(key), &k);
    EXPECT_EQ(k.is_path, k.type == KeyType::path);
    const Scenario s = parse_scenario(set_by_file(k), "s.toml", "");
    const auto d = described(s);
    ASSERT_TRUE(d.count(key)) << set_by_file(k);
    EXPECT_NE(d.at(key), defaults.count(key) ? defaults.at(key) : "");
    const std::string toml = scenario_to_toml(s);
    EXPECT_EQ(described(parse_scenario(toml, "back.toml", "")), d) << toml;
    // And set from outside the file, as the command line and members tables
    // do, by its dotted name.
    if (k.type == KeyType::number || k.type == KeyType::whole_number || k.is_table()) {
      const Scenario o = parse_scenario("[" + std::string(k.section()) + "]\n" + companions(k), "s.toml", "",
                                        {{key, std::stod(std::string(k.example)), "test"}});
      EXPECT_EQ(described(o).at(key), d.at(key));
    }
  }
  // Sections, sub-tables included, in schema order.
  const std::vector<std::string> sections = scenario_sections();
  EXPECT_EQ(sections.front(), "site");
  EXPECT_NE(std::find(sections.begin(), sections.end(), "dilution.background"), sections.end());
  EXPECT_NE(std::find(sections.begin(), sections.end(), "chemistry.rate_factors"), sections.end());
  // Path keys only, and a section's own key is not an item of its table.
  EXPECT_TRUE(find_scenario_key("constraints.file")->is_path);
  EXPECT_FALSE(find_scenario_key("initial.NO")->is_path);
  EXPECT_EQ(find_scenario_key("initial.from_first_record")->type, KeyType::boolean);
  EXPECT_EQ(find_scenario_key("time.nonsense"), nullptr);
  EXPECT_EQ(find_scenario_key("dilution.background.O3.x"), nullptr);
}

TEST(ScenarioFile, AByteOrderMarkIsSkipped) {
  box::testing::ScratchDir dir;
  std::ofstream(dir.dir() / "bom.toml") << "\xEF\xBB\xBF[time]\nhours = 3\n";
  EXPECT_EQ(read_scenario_file(dir.dir() / "bom.toml").time.hours, 3.0);
}

}  // namespace
}  // namespace box
