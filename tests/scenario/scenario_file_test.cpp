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

#include "environment/calendar.hpp"
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
      {"[constraints]\nmissing_value = -999\n", "s.toml: line 2: constraints.missing_value: marks missing values of an observation file, but no file is given"},
      {"[constraints]\nmax_gap_hours = -1\n", "s.toml: line 2: constraints.max_gap_hours: expected 0 hours or more, found -1"},
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

// Inputs the schema's examples name: an environment time series with an
// unused column, a photolysis file and a mechanism file, covering the
// model's day (05:00 to 22:00).
void write_example_inputs(const fs::path& dir) {
  std::ofstream(dir / "met.csv") << "time_h,temperature_K,pressure_Pa,relative_humidity,J4,wind_m_s\n"
                                    "0,288,95000,80,0,2\n12,295,95100,,8e-3,3\n24,289,95000,85,0,1\n";
  std::ofstream(dir / "j.csv") << "time_h,J1,J4\n0,0,0\n24,1e-5,8e-3\n";
  std::ofstream(dir / "params.csv") << "time_h,PHOTO.x\n0,0\n24,1e-5\n";
  std::ofstream(dir / "mechanism.txt") << "# a mechanism\n";
  fs::create_directories(dir / "sub");
}

// Other keys of the same section a key is read or described only with.
std::string companions(const ScenarioKey& k) {
  if (k.section() == "site" && k.name != "site.parameters" && k.name != "site.records" &&
      k.name != "site.records_layout") {
    std::string others;
    for (const char* line : {"latitude = 52.4\n", "longitude = -1.9\n", "date = \"2024-07-15\"\n",
                             "utc_offset_hours = 1.0\n"})
      if (!std::string(line).starts_with(k.last())) others += line;
    return others;
  }
  if (k.name == "environment.interpolation") return "file = \"met.csv\"\n";
  if (k.name == "photolysis.file") return "method = \"file\"\n";
  if (k.name == "photolysis.scale_to_observed") return "method = \"mcm\"\n[environment]\nfile = \"met.csv\"\n";
  if (k.name == "constraints.species" || k.name == "constraints.missing_value") return "file = \"obs.csv\"\n";
  if (k.name == "constraints.interpolation") return "from_records = [\"O3\"]\n";
  if (k.name == "emissions.mixing_height_m" || k.name == "emissions.profile") return "NO = 5e10\n";
  if (k.name == "output.budget_species") return "budgets = true\n";
  // A chamber's volume and flow come together; an injection is whole.
  if (k.name == "walls.volume_m3") return "flow_m3_per_s = 2.7e-4\n";
  if (k.name == "walls.flow_m3_per_s") return "volume_m3 = 27.0\n";
  if (k.section() == "injection") {
    std::string others;
    for (const char* line : {"time_h = 6.0\n", "species = \"NO\"\n", "ppb = 5.0\n"})
      if (!std::string(line).starts_with(k.last())) others += line;
    return k.name == "injection.molecules_cm3" ? "time_h = 6.0\nspecies = \"NO\"\n" : others;
  }
  return "";
}

// The schema's keys as a TOML file sets them: "[initial]\nO3 = 40.0".
std::string set_by_file(const ScenarioKey& k) {
  std::string last(k.last());
  if (last == "<species>") last = "O3";
  if (last == "R<n>") last = "R27";
  if (last == "<family>") last = "Ox";
  if (last == "<name>") last = "\"PHOTO.x\"";
  return "[" + std::string(k.section()) + "]\n" + last + " = " + std::string(k.example) + "\n" + companions(k);
}

// "initial.O3" for "initial.<species>", "chemistry.rate_factors.R27" for "R<n>".
std::string item_key(const ScenarioKey& k) {
  std::string key(k.name);
  if (const auto p = key.find("<species>"); p != std::string::npos) key.replace(p, 9, "O3");
  if (const auto p = key.find("R<n>"); p != std::string::npos) key.replace(p, 4, "R27");
  if (const auto p = key.find("<family>"); p != std::string::npos) key.replace(p, 8, "Ox");
  if (const auto p = key.find("<name>"); p != std::string::npos) key.replace(p, 6, "PHOTO.x");
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
  box::testing::ScratchDir dir;
  write_example_inputs(dir.dir());
  for (const ScenarioKey& k : scenario_keys()) {
    SCOPED_TRACE(std::string(k.name));
    EXPECT_FALSE(k.doc.empty());
    const std::string key = item_key(k);
    EXPECT_EQ(find_scenario_key(key), &k);
    EXPECT_EQ(k.is_path, k.type == KeyType::path);
    const Scenario s = parse_scenario(set_by_file(k), "s.toml", dir.dir());
    const auto d = described(s);
    ASSERT_TRUE(d.count(key)) << set_by_file(k);
    EXPECT_NE(d.at(key), defaults.count(key) ? defaults.at(key) : "");
    const std::string toml = scenario_to_toml(s);
    EXPECT_EQ(described(parse_scenario(toml, "back.toml", "")), d) << toml;
    // And set from outside the file, as the command line and members tables
    // do, by its dotted name.
    if (k.type == KeyType::number || k.type == KeyType::whole_number || k.type == KeyType::numbers_by_species ||
        k.type == KeyType::numbers_by_reaction || k.type == KeyType::numbers_by_name) {
      const Scenario o = parse_scenario("[" + std::string(k.section()) + "]\n" + companions(k), "s.toml", dir.dir(),
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
  // A rate parameter's name holds dots; the section's own key is not one.
  EXPECT_EQ(find_scenario_key("rate_parameters.SURF.s.effective radius [m]")->type, KeyType::numbers_by_name);
  EXPECT_EQ(find_scenario_key("rate_parameters.file")->type, KeyType::path);
}

// A family's total in the observation file may have gaps like any column
// of it: the scenario names the column; its values are the run's to read.
TEST(ScenarioFile, AFamilyTotalWithGapsIsAColumnOfTheObservations) {
  box::testing::ScratchDir dir;
  std::ofstream(dir.dir() / "obs.csv") << "time_h,O3,NOy\n0,30,5\n6,31,-999\n12,32,NaN\n18,33,\n24,34,6\n";
  const std::string toml =
      "[constraints]\nfile = \"obs.csv\"\nspecies = [\"O3\"]\nmissing_value = -999\n"
      "[constraints.families]\nNOy = { members = [\"NO\", \"NO2\"], file_column = \"NOy\" }\n";
  EXPECT_EQ(parse_scenario(toml, "s.toml", dir.dir()).field.families.at(0).file_column, "NOy");
  EXPECT_THROW(parse_scenario(toml.substr(0, toml.rfind("NOy")) + "NOz\" }\n", "s.toml", dir.dir()), ScenarioError);
}

TEST(ScenarioFile, AByteOrderMarkIsSkipped) {
  box::testing::ScratchDir dir;
  std::ofstream(dir.dir() / "bom.toml") << "\xEF\xBB\xBF[time]\nhours = 3\n";
  EXPECT_EQ(read_scenario_file(dir.dir() / "bom.toml").time.hours, 3.0);
}

// The keys of the site by keys, the environment, photolysis, spin-up,
// families and units: each refusal names the file, the line and the key,
// and files they name are read and checked with the scenario.
TEST(ScenarioFile, EnvironmentAndPhotolysisRefusalsNameTheKey) {
  box::testing::ScratchDir dir;
  write_example_inputs(dir.dir());
  std::ofstream(dir.dir() / "short.csv") << "time_h,temperature_K\n4,290\n12,291\n";
  std::ofstream(dir.dir() / "negative.csv") << "time_h,pressure_Pa\n0,95000\n24,-1\n";
  std::ofstream(dir.dir() / "empty.csv") << "";
  std::ofstream(dir.dir() / "obs.csv") << "time_h,NO,NO2,NOy\n0,1,2,5\n24,1,2,5\n";
  const std::string site = "[site]\nlatitude = 52.4\nlongitude = -1.9\ndate = \"2024-07-15\"\nutc_offset_hours = 1\n";
  const std::string air = "[environment]\ntemperature_K = 290\npressure_Pa = 1e5\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"[site]\nlatitude = 91\n", "s.toml: line 2: site.latitude: expected a latitude from -90 to 90"},
      {"[site]\nlongitude = 200\n", "s.toml: line 2: site.longitude: expected a longitude from -180 to 180"},
      {"[site]\ndate = \"2023-02-29\"\n", "s.toml: line 2: site.date: \"2023-02-29\" does not exist"},
      {"[site]\ndate = \"15/07/2024\"\n", "s.toml: line 2: site.date: expected a date YYYY-MM-DD"},
      {"[site]\nutc_offset_hours = 15\n", "s.toml: line 2: site.utc_offset_hours: expected a UTC offset from -12 to 14"},
      {"[site]\nlatitude = 52.4\nlongitude = -1.9\ndate = \"2024-07-15\"\n",
       "s.toml: line 2: site.latitude: the site by keys needs latitude, longitude, date and utc_offset_hours; "
       "site.utc_offset_hours is missing"},
      {site + "parameters = \"inputn\"\n",
       "s.toml: line 6: site.parameters: a parameter file and the site by keys (s.toml: line 2: site.latitude) are both given"},
      {"[environment]\ntemperature_K = 20\n", "s.toml: line 2: environment.temperature_K: expected a temperature from 150 to 350 K"},
      {"[environment]\npressure_Pa = 1e6\n", "s.toml: line 2: environment.pressure_Pa: expected a pressure from 100 to 120000 Pa"},
      {"[environment]\nrelative_humidity = 106\n", "s.toml: line 2: environment.relative_humidity: "},
      {"[environment]\nrelative_humidity = 50\nh2o_ppb = 1e7\n",
       "s.toml: line 3: environment.h2o_ppb: water vapour is given as relative_humidity and h2o_ppb"},
      {"[environment]\nh2o_ppb = 1e7\nfile = \"met.csv\"\n",
       "s.toml: line 2: environment.h2o_ppb: water vapour is given as relative_humidity and h2o_ppb"},
      {"[environment]\ntemperature_K = 290\nfile = \"met.csv\"\n",
       "s.toml: line 2: environment.temperature_K: given both as a constant and as a column of"},
      {"[environment]\nmixing_height_m = -5\n", "s.toml: line 2: environment.mixing_height_m: expected a positive height"},
      {"[environment]\nfile = \"none.csv\"\n", "s.toml: line 2: environment.file: "},
      {"[environment]\nfile = \"empty.csv\"\n", "s.toml: line 2: environment.file: "},
      {"[environment]\nfile = \"short.csv\"\n", "s.toml: line 2: environment.file: "},
      {"[environment]\nfile = \"negative.csv\"\n", "s.toml: line 2: environment.file: "},
      {"[environment]\ninterpolation = \"cubic\"\n", "s.toml: line 2: environment.interpolation: expected \"linear\" or \"step\""},
      {"[photolysis]\nmethod = \"tuv\"\n", "s.toml: line 2: photolysis.method: expected \"specified\", \"mcm\", \"file\" or \"none\""},
      {"[photolysis]\nmethod = \"file\"\n", "s.toml: line 2: photolysis.method: method \"file\" needs photolysis.file"},
      {"[photolysis]\nfile = \"j.csv\"\n", "s.toml: line 2: photolysis.file: a photolysis file is read only with method = \"file\""},
      {"[photolysis]\nmethod = \"file\"\nfile = \"short.csv\"\n", "s.toml: line 3: photolysis.file: "},
      {"[photolysis]\nfactor = -1\n", "s.toml: line 2: photolysis.factor: expected a factor of 0 or more"},
      {"[photolysis]\nmethod = \"mcm\"\nscale_to_observed = \"J4\"\n",
       "s.toml: line 3: photolysis.scale_to_observed: names the column \"J4\", but neither [environment] file nor"},
      {"[photolysis]\nmethod = \"mcm\"\nscale_to_observed = \"jNO2\"\n[environment]\nfile = \"met.csv\"\n",
       "s.toml: line 3: photolysis.scale_to_observed: no column \"jNO2\" in"},
      {"[photolysis]\nmethod = \"none\"\ncloud_correction = true\n",
       "s.toml: line 3: photolysis.cloud_correction: method \"none\" has no frequencies to correct"},
      {"[initial]\nunits = \"ppm\"\n", "s.toml: line 2: initial.units: expected \"ppb\" or \"molecules cm-3\""},
      {"[initial]\nunits = \"molecules cm-3\"\nO3 = 1e21\n", "s.toml: line 3: initial.O3: expected at most the densest air's"},
      {"[output]\nunits = \"ppt\"\n", "s.toml: line 2: output.units: expected \"ppb\" or \"molecules cm-3\""},
      {"[output]\nphotolysis = 1\n", "s.toml: line 2: output.photolysis: expected true or false"},
      {"[output]\ndiagnostics = \"yes\"\n", "s.toml: line 2: output.diagnostics: expected true or false"},
      {"[output.families]\nOx = [\"O3\", \"NOO\"]\n", "s.toml: line 2: output.families.Ox: \"NOO\" is no integrated species"},
      {"[output.families]\nNOy = [\"NO\", \"2 NOO\"]\n", "s.toml: line 2: output.families.NOy: \"NOO\" is no integrated species"},
      {"[output.families]\nNOy = [\"NO\", \"2x N2O5\"]\n",
       "s.toml: line 2: output.families.NOy: expected a member \"NAME\" or \"WEIGHT NAME\" with a positive weight"},
      {"[spin_up]\nmax_days = 0\n", "s.toml: line 2: spin_up.max_days: expected a whole number of days from 1"},
      {"[spin_up]\ntolerance = 0\n", "s.toml: line 2: spin_up.tolerance: expected a relative change above 0"},
      {"[spin_up]\nspecies = [\"OO3\"]\n", "s.toml: line 2: spin_up.species: \"OO3\" is no integrated species"},
      {"[spin_up]\noutput = \"first\"\n", "s.toml: line 2: spin_up.output: expected \"last\" or \"all\""},
      {"[constraints.families]\nNOx = { members = [\"NO\", \"NO2\"] }\n",
       "s.toml: line 2: constraints.families.NOx: expected a source of the total"},
      {"[constraints.families]\nNOx = { members = [\"NO\"], from_records = true, file_column = \"NOx\" }\n",
       "s.toml: line 2: constraints.families.NOx: expected one source of the total, found both"},
      {"[constraints]\nfrom_records = [\"NO\"]\n[constraints.families]\nNOx = { members = [\"NO\", \"NO2\"], from_records = true }\n",
       "s.toml: line 4: constraints.families.NOx: NO is also held individually"},
      {"[constraints.families]\nNOy = { members = [\"NO\", \"2 N2O5\"], from_records = true }\n",
       "s.toml: line 2: constraints.families.NOy: N2O5 is not observed in the site records"},
      {"[constraints.families]\nNOy = { members = [\"-2 N2O5\"], file_column = \"NOy\" }\n",
       "s.toml: line 2: constraints.families.NOy.members: expected a member \"NAME\" or \"WEIGHT NAME\" with a positive weight"},
      {"[constraints.families]\nNOy = { members = [\"NO\"], file_column = \"NOy\" }\n",
       "s.toml: line 2: constraints.families.NOy: file_column \"NOy\" names a column of the [constraints] file, but no file"},
      {"[constraints]\nfile = \"obs.csv\"\n[constraints.families]\nNOy = { members = [\"NO\"], file_column = \"NOz\" }\n",
       "s.toml: line 4: constraints.families.NOy: no column \"NOz\" in"},
      {"[constraints.families]\nA = { members = [\"NO\"], from_records = true }\nB = { members = [\"NO\"], from_records = true }\n",
       "s.toml: line 3: constraints.families.B: NO is a member of family A too"},
      {"[chemistry]\nmechanism = \"no-such.txt\"\n", "s.toml: line 2: chemistry.mechanism: no mechanism file"},
      {"[chemistry]\nmechanism = \"sub\"\n", "s.toml: line 2: chemistry.mechanism: expected \"builtin\" or a mechanism file, found the directory "},
      // [environment] replacing the site records: the keys that read them.
      {air + "[initial]\nfrom_first_record = true\n",
       "s.toml: line 5: initial.from_first_record: needs the site records ([site] records), and [environment] replaces them"},
      {air + "[constraints]\nfrom_records = [\"NO\"]\n", "s.toml: line 5: constraints.from_records: needs the site records"},
      {air + "[constraints.families]\nNOx = { members = [\"NO\", \"NO2\"], from_records = true }\n",
       "s.toml: line 5: constraints.families.NOx: needs the site records"},
      {air + "[photolysis]\nmethod = \"mcm\"\ncloud_correction = true\n",
       "s.toml: line 6: photolysis.cloud_correction: needs the site records"},
  };
  for (const auto& [toml, message] : cases) {
    std::string got = "accepted";
    try {
      parse_scenario(toml, "s.toml", dir.dir());
    } catch (const ScenarioError& e) {
      got = e.what();
    }
    EXPECT_EQ(got.rfind(message, 0), 0u) << toml << "\ngave: " << got;
  }
  // A time series' own faults: after the key, the file, its line and column.
  std::ofstream(dir.dir() / "word.csv") << "time_h,temperature_K\n0,290\n24,warm\n";
  std::ofstream(dir.dir() / "wet.csv") << "time_h,relative_humidity\n0,50\n24,106\n";
  const std::vector<std::pair<std::string, std::string>> in_files = {
      {"negative.csv", "negative.csv: line 3: column 2 (pressure_Pa): expected a value of 0 or more, found -1"},
      {"word.csv", "word.csv: line 3: column 2 (temperature_K): expected a number, found \"warm\""},
      {"wet.csv", "wet.csv: line 3: relative_humidity: expected a relative humidity from 0 to 105 percent, found 106"},
      {"empty.csv", "empty.csv: the file is empty"},
      {"short.csv", "short.csv: column 2 (temperature_K) runs from 4 h (line 2) to 12 h (line 3); the run needs 5 h"},
  };
  for (const auto& [file, message] : in_files) {
    std::string got = "accepted";
    try {
      parse_scenario("[environment]\nfile = \"" + file + "\"\n", "s.toml", dir.dir());
    } catch (const ScenarioError& e) {
      got = e.what();
    }
    EXPECT_EQ(got.rfind("s.toml: line 2: environment.file: ", 0), 0u) << got;
    EXPECT_NE(got.find(message), std::string::npos) << got;
  }
}

// A site by keys gives the sun's formulas their inputs: 15 July 2024 is day
// 197 of a leap year; Birmingham (1.9 degrees west) keeps British Summer
// Time, whose meridian is 15 degrees east; Samoa (172 degrees west) keeps
// UTC+13, whose meridian, 195 degrees east, lies 7 degrees west of the site
// across the date line. Keys replaced by newer ones, supersaturation and
// unused columns are notes, and the newer key's value is used.
TEST(ScenarioFile, SiteByKeysAndNotes) {
  box::testing::ScratchDir dir;
  write_example_inputs(dir.dir());
  const Scenario s = parse_scenario(
      "[site]\nlatitude = 52.4\nlongitude = -1.9\ndate = 2024-07-15\nutc_offset_hours = 1\n"
      "[environment]\nmixing_height_m = 800\nfile = \"met.csv\"\n"
      "[emissions]\nmixing_height_m = 500\nNO = 1e10\n"
      "[chemistry]\nphotolysis_factor = 0.5\n"
      "[photolysis]\nfactor = 0.7\nmethod = \"file\"\nfile = \"j.csv\"\nscale_to_observed = \"J4\"\n",
      "s.toml", dir.dir());
  ASSERT_TRUE(s.site.by_keys());
  // The outputs record the site as it is: its keys, and neither a parameter
  // file nor site records ([environment] gives the air).
  const auto described = describe_scenario(s);
  const std::map<std::string, std::string> d(described.begin(), described.end());
  EXPECT_FALSE(d.contains("site.parameters"));
  EXPECT_FALSE(d.contains("site.records"));
  EXPECT_EQ(std::stod(d.at("site.latitude")), 52.4);
  const SunSite sun = s.site.sun();
  EXPECT_EQ(sun.xlat, 52.4);
  EXPECT_EQ(sun.xlong, 1.9);
  EXPECT_EQ(sun.stdlng, -15.0);
  EXPECT_EQ(sun.iyear, 2024);
  EXPECT_EQ(sun.jday, 197);
  const Scenario samoa = parse_scenario(
      "[site]\nlatitude = -13.8\nlongitude = -172\ndate = \"2024-01-01\"\nutc_offset_hours = 13\n", "s.toml", "");
  EXPECT_EQ(samoa.site.sun().stdlng, -195.0);
  EXPECT_EQ(samoa.site.sun().xlong, -188.0);
  EXPECT_EQ(samoa.site.sun().jday, 1);

  EXPECT_EQ(*s.field.exchange.mixing_height_m, 800.0);
  EXPECT_EQ(s.chemistry.photolysis_factor, 0.7);
  ASSERT_NE(s.environment.series, nullptr);
  EXPECT_TRUE(s.environment.names("relative_humidity"));
  EXPECT_FALSE(s.environment.names("h2o_ppb"));
  ASSERT_NE(s.photolysis.series, nullptr);
  EXPECT_EQ(s.photolysis.series->columns.size(), 2u);
  ASSERT_NE(s.photolysis.observed_j4, nullptr);
  EXPECT_EQ(s.photolysis.observed_j4->values, (std::vector<double>{0, 8e-3, 0}));
  const std::vector<std::string> expected = {
      "note: s.toml: line 10: emissions.mixing_height_m: replaced by environment.mixing_height_m (s.toml: line 7), whose value is used",
      "note: s.toml: line 13: chemistry.photolysis_factor: replaced by photolysis.factor (s.toml: line 15), whose value is used",
      "note: s.toml: line 8: environment.file: " + (dir.dir() / "met.csv").string() + ": columns not used: wind_m_s",
  };
  EXPECT_EQ(s.notes, expected);
  // Supersaturation up to 105 % is a note; the written-back scenario reads
  // to the same site.
  const Scenario fog = parse_scenario("[environment]\nrelative_humidity = 103\n", "s.toml", "");
  ASSERT_EQ(fog.notes.size(), 1u);
  EXPECT_EQ(fog.notes[0].rfind("note: s.toml: line 2: environment.relative_humidity: relative humidity 103 %", 0), 0u)
      << fog.notes[0];
  EXPECT_EQ(parse_scenario(scenario_to_toml(s), "back.toml", "").site.sun().jday, 197);
}

}  // namespace
}  // namespace box
