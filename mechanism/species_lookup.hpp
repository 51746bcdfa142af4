#pragma once
// Species by name: the chemical names of the mechanism (O3, HO2, HCHO, BR2,
// H2O, M, ...) to their 1-based index ind_x and back.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "common/one_based.hpp"
#include "mechanism/reaction_table.hpp"

namespace box {

// Name of species `ind` (1..nspec), upper case as in the mechanism.
constexpr std::string_view species_name(int ind) { return mech::species_names[at(ind)]; }

// Index ind_x (1..nspec) of the species called `name`, ignoring the case of
// letters ("HOBr" finds HOBR); nullopt for a name that is not a species.
inline std::optional<int> find_species(std::string_view name) {
  const auto same = [](char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) ==
           std::toupper(static_cast<unsigned char>(b));
  };
  for (int ind = 1; ind <= nspec; ++ind) {
    const std::string_view s = species_name(ind);
    if (s.size() == name.size() && std::equal(s.begin(), s.end(), name.begin(), same)) return ind;
  }
  return std::nullopt;
}

// The same as an index, 0 when there is no such species: the one lookup of
// species by name, for every reader of names.
inline int species_index(std::string_view name) noexcept { return find_species(name).value_or(0); }

}  // namespace box
