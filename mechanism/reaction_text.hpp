#pragma once
// Reactions as chemists write them, for listings and generated comments.
#include <cstdio>
#include <string>

#include "mechanism/reaction_table.hpp"

namespace box::mech {

// "HC3 + HO -> 0.036 ORA1 + ... + 0.036 HO"; yields of 1 are not written.
inline std::string reaction_equation(const Reaction& r) {
  std::string s;
  for (int k = 0; k < r.n_factors; ++k) {
    if (k) s += " + ";
    s += species_names[at(r.factors[static_cast<std::size_t>(k)])];
  }
  s += " ->";
  if (r.n_products == 0) s += " (no tracked products)";
  for (int k = 0; k < r.n_products; ++k) {
    const Product& p = r.products[static_cast<std::size_t>(k)];
    s += k ? " + " : " ";
    if (p.yield != 1.0) {
      char y[32];
      std::snprintf(y, sizeof y, "%g ", p.yield);
      s += y;
    }
    s += species_names[at(p.species)];
  }
  return s;
}

// Unit of the rate coefficient: the rate is the coefficient times one
// number density per reactant factor, in molecules cm-3 s-1.
inline const char* coefficient_unit(const Reaction& r) {
  switch (r.n_factors) {
    case 1:
      return "s-1";
    case 2:
      return "cm3 molecule-1 s-1";
    default:
      return "cm6 molecule-2 s-1";
  }
}

}  // namespace box::mech
