#include "mechanism/catalogue.hpp"

#include "common/closest_names.hpp"
#include "common/errors.hpp"
#include "common/one_based.hpp"
#include "common/text.hpp"
#include "mechanism/cf_names.hpp"
#include "mechanism/reaction_table.hpp"
#include "mechanism/reaction_text.hpp"
#include "mechanism/runtime_mechanism.hpp"
#include "mechanism/structure.hpp"

namespace box {

int MechanismCatalogue::find(std::string_view name) const {
  for (std::size_t k = 0; k < species.size(); ++k)
    if (same_name(species[k], name)) return static_cast<int>(k) + 1;
  return 0;
}

std::string MechanismCatalogue::missing(std::string_view name) const {
  const bool file = !source.starts_with("the ");
  std::string what = "no species \"" + std::string(name) + "\" in " + (file ? "mechanism " : "") + source;
  const std::vector<std::string_view> names(species.begin(), species.end());
  return what + close_names_note(name, names);
}

int MechanismCatalogue::index(std::string_view name, const std::string& where) const {
  if (const int k = find(name)) return k;
  throw InputError(where + ": " + missing(name));
}

std::string_view MechanismCatalogue::cf_standard_name(int s) const { return cf_mole_fraction_name(name(s)); }

const std::shared_ptr<const MechanismCatalogue>& builtin_catalogue() {
  static const std::shared_ptr<const MechanismCatalogue> builtin = [] {
    auto r = std::make_shared<MechanismCatalogue>();
    r->source = "the built-in mechanism";
    r->species.assign(mech::species_names.begin(), mech::species_names.end());
    r->integrated = nvar;
    r->table = {ind_o3, ind_no,  ind_no2,  ind_hcho, ind_lim, ind_no3, ind_hno3, ind_hbr,
                ind_br, ind_br2, ind_hobr, ind_ho,   ind_bro, ind_pan, ind_ho2};
    for (int n = 1; n <= nreact; ++n) {
      const mech::NetCoefficients& c = mech::net[at(n)];
      std::vector<SpeciesChange> terms;
      for (int k = 0; k < c.count; ++k)
        terms.push_back({c.term[static_cast<std::size_t>(k)].species, c.term[static_cast<std::size_t>(k)].coef});
      r->net.push_back(std::move(terms));
      r->equations.push_back(mech::reaction_equation(mech::reactions[at(n)]));
    }
    return std::shared_ptr<const MechanismCatalogue>(std::move(r));
  }();
  return builtin;
}

std::shared_ptr<const MechanismCatalogue> catalogue_of(const Mechanism& m) {
  auto r = std::make_shared<MechanismCatalogue>();
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
  return r;
}

}  // namespace box
