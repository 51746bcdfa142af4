#pragma once
// The budget of one species over one interval: what each process
// contributed to its change, as production and loss.
#include <span>
#include <string>
#include <vector>

#include "budget/intervals.hpp"
#include "mechanism/species_lookup.hpp"

namespace box::budget {

// One line of a species' budget, in ppb over the interval. `name` is "R<n>"
// for reaction n (with its equation), a process kind ("emission",
// "deposition", ...) summed over the named processes of that kind that
// change the species, an adjustment ("clipping", "constraint"), or "net".
// A contribution goes to production when it raises the species and to
// loss (as a positive amount) when it lowers it; a reaction's net
// coefficient decides its sign, so a reaction that consumes and partly
// regenerates a species appears once, with the net effect.
struct BudgetRow {
  std::string name;
  std::string equation;  // reactions only
  double production = 0;
  double loss = 0;
};

// The budget of `species` (ind_*, 1-based) in `interval`: the reactions
// that change it (net coefficient not zero) and contributed something,
// every kind of named process that acts on it, and every adjustment
// ("clipping" always), sorted by production + loss, largest first (ties
// in the order reactions, kinds, adjustments); then the "net" row, whose
// production and loss are the totals of all rows above, so that the
// species' change over the interval is production - loss.
std::vector<BudgetRow> species_budget(int species, const IntervalIntegrals& interval,
                                      const ProcessList& processes = {});

// A species with its weight in a weighted sum (a family: Ox, NOy, ...).
struct FamilyMember {
  int species = 0;  // ind_*, 1-based
  double weight = 1.0;
};

// The budget of the weighted sum of `members`, built as species_budget
// builds one species' (species_budget is this with one member of weight
// 1): a reaction's contribution is its integral times the weighted sum of
// the members' net coefficients, and a reaction whose weighted sum is zero
// (to 1e-12 of the sum of its terms' sizes: an exchange inside the sum)
// is left out; named processes and adjustments are summed over the
// members with their weights.
std::vector<BudgetRow> weighted_budget(std::span<const FamilyMember> members,
                                       const IntervalIntegrals& interval,
                                       const ProcessList& processes = {});

// "R<n>": the column and row name of reaction n.
std::string reaction_name(int n);

}  // namespace box::budget
