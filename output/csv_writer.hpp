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
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <string>
#include <vector>

#include "output/observer.hpp"

namespace box {

class CsvSpeciesWriter final : public RunObserver {
 public:
  static constexpr std::string_view file_name = "species.csv";

  // `species`: 1-based mechanism indices ind_x, in column order (see
  // species_selection.hpp). Nothing is created before begin().
  // With `names` (one per entry of `species`), the species are those of a
  // mechanism file: 1-based indices into its species, written by these names.
  CsvSpeciesWriter(std::filesystem::path directory, std::vector<int> species,
                   std::vector<std::string> names = {});
  CsvSpeciesWriter(const CsvSpeciesWriter&) = delete;
  CsvSpeciesWriter& operator=(const CsvSpeciesWriter&) = delete;
  ~CsvSpeciesWriter() override;

  // Each throws OutputError naming the file when it cannot create, write,
  // close or rename it.
  void begin(const RunDescription&) override;
  void sample(const OutputSample& sample) override;
  void finish() override;

  const std::filesystem::path& path() const { return path_; }

 private:
  void write(const std::string& text);

  std::filesystem::path path_;
  std::filesystem::path partial_;
  std::vector<int> species_;
  std::vector<std::string> names_;  // empty: the built-in mechanism's
  std::FILE* file_ = nullptr;
};

}  // namespace box
