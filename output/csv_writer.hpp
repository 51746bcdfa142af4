#pragma once
// species.csv: one row per output time with the local time and the mole
// fractions of the selected species in ppb, every number at full precision
// (%.17g reads back to the same double).
//
//   time_h,O3,NO,NO2
//   5,10,0.10000000000000001,1
//
// The file is written as species.csv.partial, row by row (each row is on
// disk once sample() returns), and renamed to species.csv by finish(). A
// run that fails leaves only the .partial file; a species.csv of an earlier
// run is removed by begin().
#include <filesystem>
#include <string_view>
#include <string>
#include <vector>

#include "output/observer.hpp"
#include "output/partial_file.hpp"

namespace box {

// The first cells of the run's CSV tables (species, photolysis,
// diagnostics): with `day_column` (a spin-up's every day written) the
// sample's day, then its local time; and the header's names of them.
std::string csv_header_start(bool day_column);
std::string csv_row_start(const OutputSample& sample, bool day_column);

class CsvSpeciesWriter final : public RunObserver {
 public:
  static constexpr std::string_view file_name = "species.csv";

  // `species`: 1-based mechanism indices ind_x, in column order (see
  // species_selection.hpp). Nothing is created before begin(). With
  // `day_column`, a first column `day` holds each sample's day (the days of
  // a spin-up written one after another); with `number_densities` the
  // values are molecules cm-3 of the sample's air (p / (k_B T)) instead of
  // ppb. With `names` (one per entry of `species`), the species are those
  // of a mechanism file: 1-based indices into its species, written by these
  // names. The file is plain CSV, one header line (a spin-up's days are
  // in species.nc's attributes and on standard error).
  CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species, bool day_column = false,
                   bool number_densities = false, std::vector<std::string> names = {});
  CsvSpeciesWriter(const CsvSpeciesWriter&) = delete;
  CsvSpeciesWriter& operator=(const CsvSpeciesWriter&) = delete;

  // Each throws OutputError naming the file when it cannot create, write,
  // close or rename it.
  void begin(const RunDescription&) override;
  void sample(const OutputSample& sample) override;
  void finish() override;

  const std::filesystem::path& path() const { return file_.path(); }

 private:
  PartialTextFile file_;
  std::vector<int> species_;
  bool day_column_ = false;
  bool number_densities_ = false;
  std::vector<std::string> names_;  // empty: the built-in mechanism's
};

// photolysis.csv: one row per output time with the local time and every
// photolysis frequency the run uses (s-1, RunDescription::
// photolysis_channels), written and published as species.csv is.
//
//   time_h,J1,J2,J3,J4
class CsvPhotolysisWriter final : public RunObserver {
 public:
  static constexpr std::string_view file_name = "photolysis.csv";

  // With [spin_up] output = "all" a first column `day` says the day.
  explicit CsvPhotolysisWriter(std::filesystem::path directory, bool day_column = false);
  CsvPhotolysisWriter(const CsvPhotolysisWriter&) = delete;
  CsvPhotolysisWriter& operator=(const CsvPhotolysisWriter&) = delete;

  void begin(const RunDescription& d) override;
  void sample(const OutputSample& sample) override;
  void finish() override;

 private:
  PartialTextFile file_;
  bool day_column_ = false;
};

}  // namespace box
