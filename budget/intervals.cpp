#include "budget/intervals.hpp"

#include "common/one_based.hpp"
#include "common/text.hpp"
#include "mechanism/reaction_table.hpp"
#include "mechanism/reaction_text.hpp"
#include "mechanism/runtime_mechanism.hpp"
#include "mechanism/species_lookup.hpp"
#include "mechanism/structure.hpp"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

namespace box::budget {

double process_change(int species, std::span<const double> process_ppb,
                      const ProcessList& processes) {
  double change = 0.0;
  const MechanismCatalogue& reactions = *processes.reactions;
  for (int n = 1; n <= reactions.count(); ++n)
    for (const SpeciesChange& t : reactions.net[at(n)])
      if (t.species == species) change += t.coef * process_ppb[at(n)];
  const auto first = static_cast<std::size_t>(reactions.count());
  for (std::size_t p = 0; p < processes.named.size(); ++p)
    if (processes.named[p].species == species)
      change += processes.named[p].coef * process_ppb[first + p];
  return change;
}

const Adjustment* IntervalIntegrals::adjustment(const std::string& term) const {
  for (const Adjustment& a : adjustments)
    if (a.term == term) return &a;
  return nullptr;
}

IntervalAccumulator::IntervalAccumulator(int nproc, int nspecies) : nproc_(nproc), nspecies_(nspecies) {
  if (nproc < 0 || nspecies < 0) throw std::invalid_argument("a budget needs its processes and species");
  start(0.0);
}

void IntervalAccumulator::start(double start_h) {
  current_ = IntervalIntegrals{};
  current_.start_h = start_h;
  current_.end_h = start_h;
  current_.process.assign(static_cast<std::size_t>(nproc_), 0.0);
  current_.adjustments.push_back({"clipping", SpeciesAmounts(nspecies_)});
}

void IntervalAccumulator::add_step(std::span<const double> process_ppb,
                                   std::span<const double> clipping_ppb) {
  if (process_ppb.size() != current_.process.size())
    throw std::invalid_argument("budget step: " + std::to_string(process_ppb.size()) +
                                " process integrals, expected " +
                                std::to_string(current_.process.size()));
  for (std::size_t p = 0; p < process_ppb.size(); ++p) current_.process[p] += process_ppb[p];
  add_adjustment("clipping", clipping_ppb);
  ++current_.steps;
}

void IntervalAccumulator::add_adjustment(const std::string& term, std::span<const double> ppb) {
  if (ppb.size() != static_cast<std::size_t>(nspecies_))
    throw std::invalid_argument("budget " + term + ": " + std::to_string(ppb.size()) +
                                " species, expected " + std::to_string(nspecies_));
  Adjustment& a = adjustment(term);
  for (std::size_t s = 0; s < ppb.size(); ++s) a.ppb[s] += ppb[s];
}

Adjustment& IntervalAccumulator::adjustment(const std::string& term) {
  for (Adjustment& a : current_.adjustments)
    if (a.term == term) return a;
  current_.adjustments.push_back({term, SpeciesAmounts(nspecies_)});
  return current_.adjustments.back();
}

IntervalIntegrals IntervalAccumulator::close(double end_h) {
  IntervalIntegrals done = std::move(current_);
  done.end_h = end_h;
  start(end_h);
  return done;
}

}  // namespace box::budget
