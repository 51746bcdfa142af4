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
#include <vector>

#include "output/observer.hpp"
#include "output/partial_file.hpp"

namespace box {

class CsvSpeciesWriter final : public RunObserver {
 public:
  static constexpr std::string_view file_name = "species.csv";

  // `species`: 1-based mechanism indices ind_x, in column order (see
  // species_selection.hpp). Nothing is created before begin(). With
  // `day_column`, a first column `day` holds each sample's day (the days of
  // a spin-up written one after another).
  CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species, bool day_column = false);
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
};

}  // namespace box
