#pragma once
// The budgets of a run: the budget files (an observer of the run's
// samples), the processes that follow the reactions (the open box's
// exchange), each step's integrals with what the constraints did, and the
// NetCDF file of the integrated process rates at the end.
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "budget/files.hpp"
#include "chemistry/open_box.hpp"
#include "output/observer.hpp"

namespace box {

struct OutputFamily;

// The families of [output] families, weights read ("2 N2O5"), members
// among the species of `reactions`; a family that is not valid throws
// ScenarioError naming the key.
budget::Families output_families(const std::vector<OutputFamily>& families, const std::string& source,
                                 const MechanismCatalogue& reactions = *builtin_catalogue());

class BudgetRecorder {
 public:
  // The budget files in `dir` for `species`, with the reactions of
  // `reactions` (the built-in mechanism's or a file's), then `exchange`
  // (null for a closed box), then one "injection" process for each species
  // of `injected` (1-based), and the budgets of `families` after the
  // species'.
  BudgetRecorder(const std::filesystem::path& dir, const std::vector<std::string>& species,
                 const std::vector<ExchangeProcess>* exchange, budget::Families families = {},
                 std::shared_ptr<const MechanismCatalogue> reactions = builtin_catalogue(),
                 const std::vector<int>& injected = {});

  // The files as an observer of the run's samples; the run owns them from
  // then on (called once).
  std::unique_ptr<RunObserver> take_observer();

  // One chemistry step: the integrals of the reactions and the exchange
  // processes and the clipping (ppb, StepBudget's). With `held`, the
  // species held to observations (1 per integrated species): what their
  // holding took away or added while the processes changed them (their
  // value does not move) is booked as "constraint". `injected`: what each
  // injection process added at the step's start (ppb), or empty for none.
  void add_step(std::span<const double> reaction, std::span<const double> exchange,
                std::span<const double> clipping, std::span<const bool> held,
                std::span<const double> injected = {});
  // What holding species to observations changed at a step's start, ppb per
  // integrated species; it belongs to the interval that ends there.
  void add_constraint(std::span<const double> ppb);

  // The integrated process rates of every closed interval as NetCDF in
  // `dir`.
  void write_netcdf(const std::filesystem::path& dir, const RunDescription& description) const;

  const budget::BudgetFiles& files() const { return *files_; }

 private:
  budget::ProcessList processes_;
  std::unique_ptr<budget::BudgetFiles> owned_;
  budget::BudgetFiles* files_ = nullptr;
  std::vector<double> step_processes_;
  std::vector<double> held_;
};

}  // namespace box
