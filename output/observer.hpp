#pragma once
// Outputs are observers of a run: the run calls each one at the start, at
// every output time and at the end, and knows nothing of files or formats.
// The specified species table and progress lines, the CSV and NetCDF
// writers, budgets and ensemble collectors are all observers.
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mechanism/parameters.hpp"

namespace box {

// The campaign diagnostics at an output time ([output] diagnostics;
// docs/diagnostics.md).
struct SampleDiagnostics {
  double oh_reactivity = 0;  // s-1, at the output time
  double ro2 = 0;            // ppb, at the output time
  double p_o3 = 0;           // ppb h-1
  double l_o3 = 0;           // ppb h-1
  // P(O3) and L(O3) are the means over the output interval ending here,
  // from the budgets' integrated reaction rates; otherwise (no budgets, or
  // the run's first output time) the rates at the output time.
  bool interval_means = false;
};

// What every output time offers: the clock, the air and the whole state.
struct OutputSample {
  double time_h = 0;       // local time, hours since the start day's midnight
  double elapsed_s = 0;    // seconds since the start of the run
  double temperature = 0;  // K, the air state in force at that time
  double pressure = 0;     // Pa
  double coszen = 0;       // cosine of the solar zenith angle
  // Mole fractions (mol mol-1) of the species in mechanism order: for the
  // built-in mechanism the 80 (index ind_x - 1), the 78 integrated species,
  // H2O and M (air, 1); for a mechanism file its species in file order.
  std::vector<double> mole_fraction = std::vector<double>(nspec, 0.0);
  // With [output] diagnostics.
  std::optional<SampleDiagnostics> diagnostics;
  // With [spin_up] output = "all": the day of the spin-up (1, 2, ...; the
  // scenario's own run follows the last), 0 otherwise.
  int day = 0;
  // With [output] photolysis: the frequencies (s-1) of
  // RunDescription::photolysis_channels at that time.
  std::vector<double> photolysis;
};

// Everything a writer may record about the run besides the samples.
struct RunDescription {
  int year = 0;            // the parameter file's year
  int day_of_year = 0;     // its day of the year
  double start_hour = 0;   // local time of the first step, hours
  double step_seconds = 0;
  double hours = 0;
  // Every scenario key with its value as text, in dotted form
  // ("time.start_hour" -> "5.0"), for the record of what was run.
  std::vector<std::pair<std::string, std::string>> scenario;
  std::string program_version;
  // What f, J and the solve ran on (kernels_record()); empty: not said.
  std::string kernels;
  // Days of spin-up taken before the run ([spin_up]); -1 without.
  int spin_up_days = -1;
  // With [output] photolysis: the channels the run uses (J<n> for the MCM
  // channels, the built-in slots' names for the specified table).
  std::vector<std::string> photolysis_channels;
  // A site given by keys: its clock's offset from UTC (local = UTC +
  // offset, hours) and its place. Unset for a site from a parameter file,
  // whose outputs keep their local time axis.
  std::optional<double> utc_offset_hours;
  double latitude = 0;        // degrees north
  double longitude_east = 0;  // degrees east
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Before the first step (after every input has been read and checked).
  virtual void begin(const RunDescription&) {}
  // At each output time: the first step's start, every output interval,
  // and the end of the run.
  virtual void sample(const OutputSample&) {}
  // After the last step, when the run is complete: files are closed and
  // given their final names. Not called when the run fails.
  virtual void finish() {}
};

}  // namespace box
