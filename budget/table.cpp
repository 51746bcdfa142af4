#include "budget/table.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "common/one_based.hpp"

namespace box::budget {
namespace {

void add(BudgetRow& row, double change) {
  if (change > 0) row.production += change;
  if (change < 0) row.loss -= change;
}

}  // namespace

std::string reaction_name(int n) { return "R" + std::to_string(n); }

std::vector<BudgetRow> species_budget(int species, const IntervalIntegrals& interval,
                                      const ProcessList& processes) {
  const FamilyMember one{species, 1.0};
  return weighted_budget(std::span(&one, 1), interval, processes);
}

std::vector<BudgetRow> weighted_budget(std::span<const FamilyMember> members,
                                       const IntervalIntegrals& interval,
                                       const ProcessList& processes) {
  std::vector<BudgetRow> rows;
  const MechanismCatalogue& reactions = *processes.reactions;
  for (int n = 1; n <= reactions.count(); ++n) {
    double coef = 0.0, size = 0.0;
    bool involved = false;
    for (const FamilyMember& m : members)
      for (const SpeciesChange& term : reactions.net[at(n)]) {
        if (term.species != m.species) continue;
        coef += m.weight * term.coef;
        size += std::abs(m.weight * term.coef);
        involved = true;
      }
    if (!involved || std::abs(coef) <= 1e-12 * size) continue;
    const double change = coef * interval.process[at(n)];
    if (change == 0) continue;
    BudgetRow row{reaction_name(n), reactions.equations[at(n)], 0, 0};
    add(row, change);
    rows.push_back(row);
  }
  // Named processes, one row per kind.
  const std::size_t reactions_end = rows.size();
  for (std::size_t p = 0; p < processes.named.size(); ++p) {
    const NamedProcess& np = processes.named[p];
    for (const FamilyMember& m : members) {
      if (np.species != m.species) continue;
      auto it = std::find_if(rows.begin() + static_cast<std::ptrdiff_t>(reactions_end),
                             rows.end(), [&](const BudgetRow& r) { return r.name == np.term; });
      if (it == rows.end()) {
        rows.push_back({np.term, "", 0, 0});
        it = rows.end() - 1;
      }
      add(*it, m.weight * np.coef * interval.process[static_cast<std::size_t>(reactions.count()) + p]);
    }
  }
  bool clipping = false;
  for (const Adjustment& a : interval.adjustments) {
    BudgetRow row{a.term, "", 0, 0};
    double sum = 0.0;  // an exchange between members nets out
    for (const FamilyMember& m : members) sum += m.weight * a.ppb[at(m.species)];
    add(row, sum);
    rows.push_back(row);
    clipping = clipping || a.term == "clipping";
  }
  if (!clipping) rows.push_back({"clipping", "", 0, 0});
  std::stable_sort(rows.begin(), rows.end(), [](const BudgetRow& a, const BudgetRow& b) {
    return a.production + a.loss > b.production + b.loss;
  });
  BudgetRow total{"net", "", 0, 0};
  for (const BudgetRow& r : rows) {
    total.production += r.production;
    total.loss += r.loss;
  }
  rows.push_back(total);
  return rows;
}

}  // namespace box::budget
