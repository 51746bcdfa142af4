#pragma once
// A scenario: everything that describes one run of the model. The site and
// its hourly records, the clock, the initial state, how the chemistry is
// integrated and what is written. The model's own day (05:00, 300 s steps,
// 17 hours, the built-in initial state, the species table and progress
// lines) is the default value; scenario files, the command line, ensemble
// members and the Python interface only ever build values of this type.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "environment/emission_profile.hpp"
#include "environment/exchange.hpp"
#include "environment/observations.hpp"
#include "environment/photolysis_frequencies.hpp"
#include "environment/time_series.hpp"

namespace box {

// environment/calendar.hpp: the start day, and what the sun's formulas take.
struct Date;
struct SunSite;

// A day of the proleptic Gregorian calendar, as [site] date gives it
// (converts to and from environment/calendar's Date).
struct CalendarDay {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;

  friend bool operator==(const CalendarDay&, const CalendarDay&) = default;
};

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
  // Whether the scenario named them (the defaults are the model's own day's
  // files in the working directory).
  bool parameters_given = false;
  bool records_given = false;

  // [site] latitude, longitude, date, utc_offset_hours: the site by keys,
  // all four or none. Given, no parameter file is read.
  std::optional<double> latitude;        // degrees north, -90..90
  std::optional<double> longitude_east;  // degrees EAST, -180..180
  std::optional<CalendarDay> date;       // the start day (local)
  std::optional<double> utc_offset_hours;  // local time = UTC + offset, -12..14

  bool by_keys() const { return latitude.has_value(); }
  // What the sun's formulas take, from the keys (calendar's sun_site); only
  // when by_keys(). Include environment/calendar.hpp to use it.
  SunSite sun() const;
};

struct TimeSettings {
  double start_hour = 5.0;  // local time of the first step, hours
  int step_seconds = 300;   // divides 3600
  double hours = 17.0;      // length of the run
};

// The units of [initial] values and of the CSV outputs.
enum class ConcentrationUnit { ppb, molecules_cm3 };

// A species' initial amount, set by name.
struct InitialValue {
  int species = 0;   // mechanism index (ind_*); 0 for a mechanism file's
  // In Scenario::initial_units: mole fraction x 1e9 (ppb, the default) or
  // molecules cm-3.
  double ppb = 0.0;
  // The name as written (a mechanism file's species are matched when the
  // run starts), and where it was written, for that match's messages.
  std::string name;
  ValueSource source;
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
  // [photolysis] factor, or the older [chemistry] photolysis_factor.
  double photolysis_factor = 1.0;
  std::vector<RateFactor> rate_factors;  // in increasing reaction number
  // [chemistry] mechanism: a mechanism file (relative to the scenario
  // file), or none for the built-in mechanism ("builtin").
  std::optional<std::filesystem::path> mechanism_file;
  ValueSource mechanism_source;  // where the file was named
  // [chemistry] kernels: a mechanism file's f, J and solve as machine code
  // written when it is loaded, where this processor and system allow it
  // (automatic), or always the loop kernels (loops). The bits are the
  // same; the built-in mechanism has its generated kernels either way.
  enum class Kernels { automatic, loops };
  Kernels kernels = Kernels::automatic;

  bool builtin_mechanism() const { return !mechanism_file.has_value(); }
  bool machine_code() const { return kernels == Kernels::automatic; }
};

// [environment]: the state of the air by keys, constants or a time series,
// instead of (or over) the site records.
struct EnvironmentSettings {
  std::optional<double> temperature_K;
  std::optional<double> pressure_Pa;
  // Water vapour: at most one of the three, as a constant or a column.
  std::optional<double> relative_humidity;  // percent over liquid water
  std::optional<double> h2o_ppb;
  std::optional<double> h2o_molecules_cm3;
  // [environment] mixing_height_m as given (the value used is
  // FieldSettings::exchange.mixing_height_m, which it sets).
  std::optional<double> mixing_height_m;
  // [environment] file: time_h plus any of the names above, read and
  // checked (values, coverage of the run) when the scenario is read.
  std::optional<std::filesystem::path> file;
  std::shared_ptr<const TimeSeries> series;  // its used columns; null without a file
  Interpolation interpolation = Interpolation::linear;

  // The quantity `name` ("temperature_K", ...) is set, by key or column.
  bool names(std::string_view name) const;
  bool given() const;  // any key of [environment]
};

// [photolysis]: how the photolysis frequencies are obtained.
struct PhotolysisSettings {
  // Unset: "specified" for the built-in mechanism, "mcm" for a mechanism
  // file (effective_method()).
  std::optional<PhotolysisMethod> method;
  ValueSource method_source;  // where the method was given
  std::optional<std::filesystem::path> file;  // method file
  ValueSource file_source;                    // where the file was named
  std::shared_ptr<const TimeSeries> series;   // its J<n> columns, read and checked
  // [photolysis] factor as given (the value used is
  // ChemistrySettings::photolysis_factor).
  std::optional<double> factor;
  // "" or the column (of the environment file, else of the constraints
  // file) holding the measured J4, s-1.
  std::string scale_to_observed;
  // The column itself, read and checked to cover the run; null for "".
  std::shared_ptr<const TimeSeriesColumn> observed_j4;
  bool cloud_correction = false;

  PhotolysisMethod effective_method(bool builtin_mechanism) const {
    return method.value_or(builtin_mechanism ? PhotolysisMethod::specified : PhotolysisMethod::mcm);
  }
};

// [spin_up]: repeat the first 24 hours' forcing until the day repeats itself.
struct SpinUpSettings {
  bool enabled = false;  // a [spin_up] section is given
  int max_days = 10;
  double tolerance = 0.001;           // relative change day to day
  std::vector<std::string> species;   // empty: every species above 1e-6 ppb
  bool output_all = false;            // output = "all" (else "last")
};

// A member of a family: a species and its weight in the family's total
// ("2 N2O5" counts N2O5 twice, as NOy does).
struct FamilyMember {
  std::string species;  // the mechanism's name (upper case for the built-in one)
  double weight = 1.0;
};

// [constraints.families] NAME = { members, from_records | file_column }:
// the members scaled by one factor at each step start so that their
// weighted sum equals the observed total.
struct FamilyConstraint {
  std::string name;
  std::vector<FamilyMember> members;
  bool from_records = false;  // the total: the records' values of the members
  std::string file_column;    // or this column of the [constraints] file
  ValueSource source;
};

// [output] families = { Ox = ["O3", ...] }: family budgets.
struct OutputFamily {
  std::string name;
  std::vector<std::string> members;
};

// Which species the CSV and NetCDF outputs hold.
struct SpeciesSelection {
  enum class Kind { table, all, list } kind = Kind::table;
  std::vector<int> list;  // mechanism indices, when kind is list
  // The names as written, when kind is list (a mechanism file's species
  // are matched when the run starts; list is then empty).
  std::vector<std::string> names;
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
  ConcentrationUnit units = ConcentrationUnit::ppb;  // of the CSV outputs
  bool photolysis = false;   // photolysis.csv: every frequency used
  bool diagnostics = false;  // diagnostics.csv
  std::vector<OutputFamily> families;  // in name order

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
  // [constraints] missing_value: the file's marker of a missing value
  // (besides empty cells and NaN), e.g. -999.
  std::optional<double> missing_value;
  // [constraints] max_gap_hours: the longest gap in a column held across on
  // the line between the values either side; in a longer one, and before a
  // column's first or after its last value, its species runs free.
  double max_gap_hours = 3.0;
  Interpolation interpolation = Interpolation::linear;
  // [emissions] profile
  EmissionProfile emission_profile = EmissionProfile::constant;
  ValueSource emission_profile_source;
  // [emissions], [deposition], [dilution] (held species are added when the
  // inputs are read).
  ExchangeSettings exchange;
  // [constraints.families], in name order.
  std::vector<FamilyConstraint> families;
  // [[injection]], in the file's order.
  std::vector<Injection> injections;

  bool constrained() const { return !from_records.empty() || observations.has_value() || !families.empty(); }
  bool open() const {
    return constrained() || !exchange.emissions.empty() || !exchange.deposition.empty() ||
           exchange.dilution_per_s != 0.0 || exchange.walls();
  }
};

// The species the site records observe, with their columns' units.
inline constexpr const char* record_species[] = {"O3", "NO", "NO2", "CO", "HCHO", "H2O"};

// [rate_parameters]: values of the rate parameters a version-1 mechanism
// leaves to the run (PHOTO.<reaction>, USER.<reaction>, EMIS.<reaction>,
// LOSS.<reaction>, SURF.<reaction>.<quantity>), in the file's units (SI,
// mol m-3): constants by name, and a time series whose columns follow
// time over the run ([environment] interpolation). Checked against the
// mechanism when the run starts.
struct RateParameter {
  std::string name;
  double value = 0.0;
  ValueSource source;
};
struct RateParameterSettings {
  std::vector<RateParameter> values;  // in the order given
  std::optional<std::filesystem::path> file;
  ValueSource file_source;
  std::shared_ptr<const TimeSeries> series;  // every column; null without a file
};

struct Scenario {
  // Names the scenario in messages: its file, or "default scenario".
  std::string source = "default scenario";

  SiteSettings site;
  TimeSettings time;
  std::vector<InitialValue> initial;  // in the order given
  ConcentrationUnit initial_units = ConcentrationUnit::ppb;
  ChemistrySettings chemistry;
  RateParameterSettings rate_parameters;
  EnvironmentSettings environment;
  PhotolysisSettings photolysis;
  FieldSettings field;
  SpinUpSettings spin_up;
  OutputSettings output;

  // What reading the scenario found worth saying but not refusing (a
  // relative humidity of 100-105 %, unused columns of a time series, a key
  // given twice where the newer one wins): one line each, "note: <file>:
  // line N: <key>: ...", for the program to print on standard error before
  // the run.
  std::vector<std::string> notes;

  // The run without arguments reads its site file as it goes and stops at
  // the first bad value with the hours before it written. A scenario run
  // reads and checks every input it needs before the first step.
  bool check_inputs_first = true;

  int steps_per_hour() const { return 3600 / time.step_seconds; }
  int total_steps() const;
  int steps_per_output() const { return output.every_seconds / time.step_seconds; }
  // Site records the run reads: one at the first step of every hour.
  int records_needed() const;
  // Whether the run reads site records at all: unless [environment] gives
  // both the temperature and the pressure and no records file is named.
  bool reads_site_records() const;
  // The span of local hours the run's inputs must cover: the run, and with
  // spin-up at least the first 24 hours, which it repeats.
  double first_input_hour() const { return time.start_hour; }
  double last_input_hour() const;
  // 1 ROS-2, 2 ROS-3, 3 ROS-4, 4 RODAS-3, 5 RODAS-4.
  int method_number() const;
};

// Every key at its default: the model's own day, its inputs checked first.
Scenario default_scenario();

// The method names in number order ("ros2" is method 1).
const std::vector<std::string>& method_names();

}  // namespace box
