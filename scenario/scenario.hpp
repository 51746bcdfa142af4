#pragma once
// A scenario: everything that describes one run of the model. The site and
// its hourly records, the clock, the initial state, how the chemistry is
// integrated and what is written. The model's own day (05:00, 300 s steps,
// 17 hours, the built-in initial state, the species table and progress
// lines) is the default value; scenario files, the command line, ensemble
// members and the Python interface only ever build values of this type.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "environment/emission_profile.hpp"
#include "environment/exchange.hpp"
#include "environment/observations.hpp"

namespace box {

// A scenario that cannot be run: an unknown key, a value of the wrong type
// or out of its range. The message names the file, the line and the key.
class ScenarioError : public InputError {
 public:
  using InputError::InputError;
};

// How the hourly site records are laid out in their file.
enum class RecordsLayout {
  lines,  // one record per line, exactly its 13 values
  free,   // list-directed: a record may span lines, values left on its
          // last line are discarded
};

enum class OutputFormat { table, csv, netcdf };

struct SiteSettings {
  std::filesystem::path parameters = "inputn";
  std::filesystem::path records = "ValuesAtSite_extractedFromWRFchemAug31.txt_test";
  RecordsLayout records_layout = RecordsLayout::lines;
};

struct TimeSettings {
  double start_hour = 5.0;  // local time of the first step, hours
  int step_seconds = 300;   // divides 3600
  double hours = 17.0;      // length of the run
};

// A species' initial mole fraction, set by name.
struct InitialValue {
  int species = 0;   // mechanism index (ind_*)
  double ppb = 0.0;  // mole fraction x 1e9
};

// A reaction's rate coefficient multiplied by a constant factor.
struct RateFactor {
  int reaction = 0;  // reaction number, 1..249
  double factor = 1.0;
};

struct ChemistrySettings {
  std::string method = "ros3";  // ros2, ros3, ros4, rodas3, rodas4
  double rtol = 1.0e-3;
  double atol = 1.0;  // molecules cm-3
  double photolysis_factor = 1.0;
  std::vector<RateFactor> rate_factors;  // in increasing reaction number
};

// Which species the CSV and NetCDF outputs hold.
struct SpeciesSelection {
  enum class Kind { table, all, list } kind = Kind::table;
  std::vector<int> list;  // mechanism indices, when kind is list
};

struct OutputSettings {
  std::filesystem::path dir = ".";
  SpeciesSelection species;
  int every_seconds = 3600;  // a multiple of the step
  std::vector<OutputFormat> formats = {OutputFormat::table};
  bool progress_lines = true;
  // Integrated reaction rates and species budgets per output interval.
  bool budgets = false;
  std::vector<std::string> budget_species = {"O3", "NO", "NO2", "HO", "HO2", "BRO"};

  bool wants(OutputFormat f) const;
};

// The parcel as a field campaign sees it: species held to observations,
// emissions, deposition and dilution. Empty by default (a closed box).
struct FieldSettings {
  // [initial] from_first_record: O3, NO, NO2, CO and HCHO start from the
  // first site record's observed values.
  bool initial_from_first_record = false;
  // [constraints] from_records: held to the site records' hourly values.
  std::vector<NamedSpecies> from_records;
  // [constraints] file, species: held to an observation file's columns.
  std::optional<std::filesystem::path> observations;
  ValueSource observations_source;
  std::vector<std::string> observation_species;  // empty: every column
  ValueSource observation_species_source;
  Interpolation interpolation = Interpolation::linear;
  // [emissions] profile
  EmissionProfile emission_profile = EmissionProfile::constant;
  ValueSource emission_profile_source;
  // [emissions], [deposition], [dilution] (held species are added when the
  // inputs are read).
  ExchangeSettings exchange;

  bool constrained() const { return !from_records.empty() || observations.has_value(); }
  bool open() const {
    return constrained() || !exchange.emissions.empty() || !exchange.deposition.empty() ||
           exchange.dilution_per_s != 0.0;
  }
};

// The species the site records observe, with their columns' units.
inline constexpr const char* record_species[] = {"O3", "NO", "NO2", "CO", "HCHO", "H2O"};

struct Scenario {
  // Names the scenario in messages: its file, or "default scenario".
  std::string source = "default scenario";

  SiteSettings site;
  TimeSettings time;
  std::vector<InitialValue> initial;  // in the order given
  ChemistrySettings chemistry;
  FieldSettings field;
  OutputSettings output;

  // The run without arguments reads its site file as it goes and stops at
  // the first bad value with the hours before it written. A scenario run
  // reads and checks every input it needs before the first step.
  bool check_inputs_first = true;

  int steps_per_hour() const { return 3600 / time.step_seconds; }
  int total_steps() const;
  int steps_per_output() const { return output.every_seconds / time.step_seconds; }
  // Site records the run reads: one at the first step of every hour.
  int records_needed() const;
  // 1 ROS-2, 2 ROS-3, 3 ROS-4, 4 RODAS-3, 5 RODAS-4.
  int method_number() const;
};

// Every key at its default: the model's own day, its inputs checked first.
Scenario default_scenario();

// The method names in number order ("ros2" is method 1).
const std::vector<std::string>& method_names();

}  // namespace box
