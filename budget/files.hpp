#pragma once
// The budget files of a run, written as an observer of the run:
//
//   reaction_rates.csv  start_h,end_h,R1,...,R249[,<term>_<species>...]
//                       one row per output interval: the integral of every
//                       process rate over the interval, ppb (reactions, then
//                       any named processes, headed e.g. emission_NO).
//   budgets.csv         start_h,end_h,species,reaction,equation,production,loss
//                       for each interval and each budget species, the rows
//                       of species_budget (budget/table.hpp): the
//                       contributing reactions, named processes and
//                       adjustments largest first, then "net" (totals);
//                       then the same for each family (budget/families.hpp)
//                       with the family's name in the species column.
//
// Every number is written with %.17g (it reads back as the same double).
// Both files are written under their partial names (output/partial_file.hpp)
// and renamed when the run is complete (finish()); a failed run leaves the
// files of an earlier run as they were.
//
// The run calls, in this order: begin(); sample() at the first output time
// (the start); then for every chemistry step add_step() with the step's
// StepBudget (chemistry/chemistry_step.hpp) and, at every later output
// time, sample(), which closes the interval since the previous output
// time and writes its rows; finish() at the end. intervals() keeps every
// closed interval for other writers (the NetCDF file's
// reaction_rate_integral(time_interval, reaction), with
// reaction_equations() as its labels).
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "budget/families.hpp"
#include "budget/intervals.hpp"
#include "output/observer.hpp"

namespace box::budget {

// The species budgets.csv covers when the scenario names none.
std::vector<std::string> default_budget_species();

// "R1" ... "R<n>" of the reactions, then "<term>_<species>" of each named
// process: the names of the process columns.
std::vector<std::string> process_names(const ProcessList& processes = {});

// The equation of each reaction ("NO2 -> O3P + NO"), in reaction order.
std::vector<std::string> reaction_equations(const MechanismCatalogue& reactions = *builtin_catalogue());

// The reactions' equations, then for each named process "<term> of
// <species>" ("emission of NO"): a label for every process column.
std::vector<std::string> process_equations(const ProcessList& processes);

class BudgetFiles : public RunObserver {
 public:
  // `species`: the budget species by name (in the mechanism of
  // `processes`); a name that is no species of the mechanism throws
  // std::invalid_argument naming it and the key [output] budget_species.
  // `families`: families whose budgets follow the species' in budgets.csv.
  BudgetFiles(std::filesystem::path folder, const std::vector<std::string>& species,
              ProcessList processes = {}, Families families = {});
  ~BudgetFiles() override;
  BudgetFiles(const BudgetFiles&) = delete;
  BudgetFiles& operator=(const BudgetFiles&) = delete;

  // Creates both files under their incomplete names and writes the headers.
  // Throws std::runtime_error naming the file when it cannot be written.
  void begin(const RunDescription&) override;
  // The first call starts the first interval at s.time_h; every later call
  // closes the interval ending at s.time_h and writes its rows (a repeated
  // output time with no step in between adds nothing).
  void sample(const OutputSample& s) override;
  // Flushes and closes both files and gives them their final names.
  void finish() override;

  // One chemistry step: the process integrals (reactions first) and the
  // clipping per species, ppb (StepBudget::reaction and ::clipping).
  void add_step(std::span<const double> process_ppb, std::span<const double> clipping_ppb);
  // Another named per-species adjustment of the current step ("constraint").
  void add_adjustment(const std::string& term, std::span<const double> ppb);

  const std::vector<IntervalIntegrals>& intervals() const noexcept { return intervals_; }
  // The sums of the interval not yet closed (since the last output time).
  const IntervalIntegrals& open_interval() const noexcept { return accumulator_.current(); }
  const ProcessList& processes() const noexcept { return processes_; }

 private:
  struct File {
    std::filesystem::path final_path, temporary;
    std::FILE* stream = nullptr;
  };
  void open(File& f, const std::string& name, const std::string& header);
  void write(File& f, const std::string& text);
  void write_interval(const IntervalIntegrals& interval);

  std::filesystem::path folder_;
  std::vector<int> species_;
  ProcessList processes_;
  Families families_;
  IntervalAccumulator accumulator_;
  bool started_ = false;
  File rates_, budgets_;
  std::vector<IntervalIntegrals> intervals_;
};

}  // namespace box::budget
