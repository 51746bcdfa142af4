#pragma once
// species.nc: the selected species, the air and the sun at every output
// time, as a CF-1.8 netCDF file (64-bit offset format).
//
//   dimensions: time (unlimited, one record per sample)
//   time(time)                    seconds since the first step's local time
//   <species>(time), e.g. O3      mole fraction, mol mol-1 (the CSV's ppb
//                                 values are these times 1e9)
//   temperature(time)             K
//   pressure(time)                Pa
//   cos_solar_zenith_angle(time)  1
//   oh_reactivity, ro2, p_o3, l_o3 (time)   with [output] diagnostics
//                                 (output/variable_attributes.hpp)
//   day(time)                     with [spin_up] output = "all": the day
//                                 of each record (the spin-up's days, then
//                                 the run's)
//
// With [spin_up], the global attribute spin_up_days (an integer) is the
// number of days of spin-up taken (with output = "all", set when the file
// is finished: the run's day less one).
//
// Global attributes: title, Conventions, source (program and version),
// history, and each scenario key as "scenario.<key>" with its value as text.
// The file carries no creation time, so that a run repeated gives the same
// bytes.
//
// The file is written as species.nc.partial and renamed to species.nc by
// finish(); a run that fails leaves only the .partial file, which holds
// every record written (each sample is synced to the file), and a
// species.nc of an earlier run stays as it was.
//
// NetCDF is optional: without it the program builds, netcdf_available() is
// false and constructing the writer throws OutputError saying so. With it,
// the netCDF library is loaded when the first writer is made (see
// netcdf_library.hpp); a module that cannot be loaded is the same error.
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <string>
#include <vector>

#include "mechanism/cf_names.hpp"
#include "output/observer.hpp"

namespace box {

// Whether this program was built with the netCDF library and can load it.
bool netcdf_available();
// Why not, completing "...needs the netCDF library, and "; "" when available.
std::string netcdf_unavailable_reason();

struct NetcdfLibrary;


class NetcdfSpeciesWriter final : public RunObserver {
 public:
  static constexpr std::string_view file_name = "species.nc";

  // `species`: 1-based mechanism indices ind_x, in variable order (see
  // species_selection.hpp). Nothing is created before begin(). Throws
  // OutputError if the program was built without NetCDF.
  // With `names` (one per entry of `species`), the species are those of a
  // mechanism file: 1-based indices into its species, written by these names.
  NetcdfSpeciesWriter(std::filesystem::path directory, std::vector<int> species, bool diagnostics = false,
                      bool day = false, std::vector<std::string> names = {});
  NetcdfSpeciesWriter(const NetcdfSpeciesWriter&) = delete;
  NetcdfSpeciesWriter& operator=(const NetcdfSpeciesWriter&) = delete;
  ~NetcdfSpeciesWriter() override;

  // Each throws OutputError naming the file (and the netCDF library's
  // reason) when it cannot create, define, write, close or rename it.
  void begin(const RunDescription& run) override;
  void sample(const OutputSample& sample) override;
  void finish() override;

  const std::filesystem::path& path() const { return path_; }

 private:
  void check(int status, std::string_view doing) const;

  std::filesystem::path path_;
  std::filesystem::path partial_;
  std::vector<int> species_;
  std::vector<std::string> names_;  // empty: the built-in mechanism's
  int ncid_ = -1;
  int time_var_ = -1;
  int temperature_var_ = -1;
  int pressure_var_ = -1;
  int coszen_var_ = -1;
  std::vector<int> species_vars_;
  bool diagnostics_ = false;
  bool day_ = false;
  std::vector<int> diagnostic_vars_;
  int day_var_ = -1;
  int last_day_ = 0;  // the day of the last sample (output = "all")
  // A site by keys: the air's number density each sample (-1: not written).
  int air_density_var_ = -1;
  // [output] photolysis: each channel's frequency.
  std::vector<int> photolysis_vars_;
  std::size_t records_ = 0;
  const NetcdfLibrary* nc_ = nullptr;
};

// The integrated process rates of a run's output intervals, for budgets.nc.
struct ProcessIntegralTable {
  std::vector<double> start_h, end_h;    // local time of each interval's ends
  std::vector<std::string> names;        // "R1".."R249", then e.g. "emission_NO"
  std::vector<std::string> equations;    // the reaction's equation, or the process's kind
  std::vector<double> ppb;               // interval-major: ppb[i * names.size() + p]
};

// budgets.nc in `directory` (netCDF-4): dimensions time_interval and
// reaction; reaction_rate_integral(time_interval, reaction) in ppb (mol
// mol-1 x 1e9 of each step's air, summed over the interval), the
// interval's ends as time_bounds in seconds since the first step and as
// local hours, and the processes' names and equations as string
// variables. Written under a temporary name and renamed when complete.
void write_budget_netcdf(const std::filesystem::path& directory, const ProcessIntegralTable& table,
                         const RunDescription& run);

}  // namespace box
