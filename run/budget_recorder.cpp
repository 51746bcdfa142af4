#include "run/budget_recorder.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "budget/intervals.hpp"
#include "output/netcdf_writer.hpp"
#include "scenario/scenario.hpp"

namespace box {

budget::Families output_families(const std::vector<OutputFamily>& families, const std::string& source,
                                 const MechanismCatalogue& reactions) {
  std::vector<std::pair<std::string, std::vector<std::string>>> table;
  for (const OutputFamily& f : families) table.emplace_back(f.name, f.members);
  try {
    return budget::Families::parse(table, "[output] families", reactions);
  } catch (const std::invalid_argument& e) {
    throw ScenarioError(source + ": " + e.what());
  }
}

BudgetRecorder::BudgetRecorder(const std::filesystem::path& dir, const std::vector<std::string>& species,
                               const std::vector<ExchangeProcess>* exchange, budget::Families families,
                               std::shared_ptr<const MechanismCatalogue> reactions,
                               const std::vector<int>& injected) {
  processes_.reactions = std::move(reactions);
  if (exchange != nullptr)
    for (const ExchangeProcess& p : *exchange) processes_.named.push_back({p.term(), p.species + 1, p.coef()});
  for (const int k : injected) processes_.named.push_back({"injection", k, 1.0});
  owned_ = std::make_unique<budget::BudgetFiles>(dir, species, processes_, std::move(families));
  files_ = owned_.get();
  step_processes_.assign(static_cast<std::size_t>(processes_.size()), 0.0);
}

std::unique_ptr<RunObserver> BudgetRecorder::take_observer() { return std::move(owned_); }

void BudgetRecorder::add_step(std::span<const double> reaction, std::span<const double> exchange,
                              std::span<const double> clipping, std::span<const bool> held,
                              std::span<const double> injected) {
  std::copy(reaction.begin(), reaction.end(), step_processes_.begin());
  const auto after = step_processes_.begin() + static_cast<std::ptrdiff_t>(reaction.size());
  std::copy(exchange.begin(), exchange.end(), after);
  std::copy(injected.begin(), injected.end(), after + static_cast<std::ptrdiff_t>(exchange.size()));
  files_->add_step(step_processes_, clipping);
  if (held.empty()) return;
  held_.assign(held.size(), 0.0);
  for (std::size_t k = 0; k < held.size(); ++k)
    if (held[k])
      held_[k] = 0.0 - (budget::process_change(static_cast<int>(k) + 1, step_processes_, processes_) + clipping[k]);
  files_->add_adjustment("constraint", held_);
}

void BudgetRecorder::add_constraint(std::span<const double> ppb) { files_->add_adjustment("constraint", ppb); }

void BudgetRecorder::write_netcdf(const std::filesystem::path& dir, const RunDescription& description) const {
  ProcessIntegralTable table;
  table.names = budget::process_names(processes_);
  table.equations = budget::process_equations(processes_);
  for (const budget::IntervalIntegrals& i : files_->intervals()) {
    table.start_h.push_back(i.start_h);
    table.end_h.push_back(i.end_h);
    table.ppb.insert(table.ppb.end(), i.process.begin(), i.process.end());
  }
  write_budget_netcdf(dir, table, description);
}

}  // namespace box
