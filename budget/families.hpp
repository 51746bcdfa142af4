#pragma once
// Families: weighted sums of species (Ox = O3 + NO2 + O3P + O1D, NOy with
// 2 N2O5, ...) whose production and loss the budgets report, with the
// reactions inside the family cancelled (budget/table.hpp,
// weighted_budget).
#include <string>
#include <utility>
#include <vector>

#include "budget/intervals.hpp"
#include "budget/table.hpp"

namespace box::budget {

struct Family {
  std::string name;
  std::vector<FamilyMember> members;
};

struct Families {
  std::vector<Family> list;

  // From a table as a scenario writes it: each family's name and its
  // members, "NAME" (weight 1) or "coef NAME" ("2 N2O5", "0.5D0 NO3").
  // `key` names the table in messages. Throws std::invalid_argument naming
  // the key, the family and the entry on: an empty name or member list, a
  // name that is a species (families share the species column of
  // budgets.csv) or repeated, a member that is no integrated species, a
  // weight that is not a positive finite number, a member named twice.
  // Species are those of `reactions`.
  static Families parse(const std::vector<std::pair<std::string, std::vector<std::string>>>& table,
                        const std::string& key = "[output] families",
                        const MechanismCatalogue& reactions = *builtin_catalogue());
};

// The family's budget over the interval, rows as species_budget's.
std::vector<BudgetRow> family_budget(const Family& family, const IntervalIntegrals& interval,
                                     const ProcessList& processes = {});

}  // namespace box::budget
