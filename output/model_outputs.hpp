#pragma once
// The model's own outputs, as observers of the run: the lines on standard
// output (start-up, the echo of each hour's observed gases, two progress
// lines per step) and the hourly species table "TS_species.txt".
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "output/step_observer.hpp"
#include "output/text_output.hpp"

namespace box {

class ProgressLines : public StepObserver {
 public:
  void starting(const StepView& run) override;
  void record_taken(const StepView& run, const SiteRecord& record) override;
  void before_chemistry(const StepView& run) override;
  void after_chemistry(const StepView& run) override;
};

// A mechanism file's run: one line per step after the chemistry, with the
// local time, the step and a few key species in ppb (O3, NO, NO2, OH or HO,
// HO2, those the file has; else its first five species), so that a long
// run shows where it is.
class MechanismProgressLines : public StepObserver {
 public:
  explicit MechanismProgressLines(const std::vector<std::string>& species);
  void after_chemistry(const StepView& run) override;

 private:
  std::vector<std::pair<std::string, std::size_t>> shown_;  // name, index
};

inline constexpr const char* species_table_name = "TS_species.txt";

class SpeciesTable : public StepObserver {
 public:
  // `whole_file_only`: written under the temporary name of every output of
  // a scenario run and renamed when the run is complete; otherwise (the
  // model's own day) written in place, each row kept as it is written.
  SpeciesTable(std::filesystem::path dir, bool whole_file_only)
      : dir_(std::move(dir)), whole_file_only_(whole_file_only) {}
  // The table is created once the inputs are read.
  void started(const StepView& run) override;
  // A row at the first step of each hour: the state at the hour's start.
  void record_taken(const StepView& run, const SiteRecord& record) override;
  // Closes the table, reporting a failed final write-back.
  void finished(const StepView& run) override;

 private:
  std::filesystem::path dir_;
  std::optional<TextOutput> table_;
  bool header_written_ = false;
  bool whole_file_only_ = false;
};

}  // namespace box
