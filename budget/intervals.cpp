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

const std::shared_ptr<const Reactions>& builtin_reactions() {
  static const std::shared_ptr<const Reactions> builtin = [] {
    auto r = std::make_shared<Reactions>();
    r->source = "the built-in mechanism";
    r->species.assign(mech::species_names.begin(), mech::species_names.end());
    r->integrated = nvar;
    for (int n = 1; n <= nreact; ++n) {
      const mech::NetCoefficients& c = mech::net[at(n)];
      std::vector<SpeciesChange> terms;
      for (int k = 0; k < c.count; ++k)
        terms.push_back({c.term[static_cast<std::size_t>(k)].species, c.term[static_cast<std::size_t>(k)].coef});
      r->net.push_back(std::move(terms));
      r->equations.push_back(mech::reaction_equation(mech::reactions[at(n)]));
    }
    r->find = [](std::string_view name) { return species_index(name); };
    return std::shared_ptr<const Reactions>(std::move(r));
  }();
  return builtin;
}

std::shared_ptr<const Reactions> file_reactions(const Mechanism& m) {
  auto r = std::make_shared<Reactions>();
  r->source = m.source;
  r->species = m.species;
  r->integrated = m.species_count();
  for (int j = 0; j < m.reaction_count(); ++j) {
    const RuntimeReaction& reaction = m.reactions[static_cast<std::size_t>(j)];
    // Reactant occurrences, then yields, gathered per species in the order
    // first met; a species the reaction gives back as much as it takes has
    // no term.
    std::vector<SpeciesChange> terms;
    const auto add = [&](int species, double coef) {
      for (SpeciesChange& t : terms)
        if (t.species == species + 1) {
          t.coef += coef;
          return;
        }
      terms.push_back({species + 1, coef});
    };
    for (int s : reaction.reactants) add(s, -1.0);
    for (const ProductTerm& p : reaction.products) add(p.species, p.coefficient);
    std::erase_if(terms, [](const SpeciesChange& t) { return t.coef == 0.0; });
    r->net.push_back(std::move(terms));
    r->equations.push_back(m.equation(j));
  }
  r->find = [names = m.species](std::string_view name) {
    for (std::size_t k = 0; k < names.size(); ++k)
      if (same_name(names[k], name)) return static_cast<int>(k) + 1;
    return 0;
  };
  return r;
}

double process_change(int species, std::span<const double> process_ppb,
                      const ProcessList& processes) {
  double change = 0.0;
  const Reactions& reactions = *processes.reactions;
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
