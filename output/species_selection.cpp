#include "output/species_selection.hpp"

#include <algorithm>
#include <array>
#include <numeric>
#include <stdexcept>

#include "common/closest_names.hpp"
#include "common/errors.hpp"
#include "mechanism/catalogue.hpp"
#include "mechanism/species_lookup.hpp"

namespace box {

std::vector<int> table_species() { return builtin_catalogue()->table; }

std::vector<int> all_species() {
  std::vector<int> species(nspec);
  std::iota(species.begin(), species.end(), 1);
  return species;
}

std::vector<int> select_species(std::span<const std::string> names, std::string_view where) {
  const std::string prefix = std::string(where) + ": ";
  if (names.empty())
    throw InputError(prefix +
                     "expected \"table\", \"all\" or a list of species names, found an empty list");
  if (names.size() == 1 && names[0] == "table") return table_species();
  if (names.size() == 1 && names[0] == "all") return all_species();

  std::vector<int> species;
  for (const std::string& name : names) {
    const std::optional<int> ind = find_species(name);
    if (!ind) {
      std::string message = prefix + "unknown species \"" + name + "\"";
      if (name == "table" || name == "all")
        message += " (\"" + name + "\" stands alone, not in a list of names)";
      const std::string hint = did_you_mean(closest_names(name, mech::species_names));
      if (!hint.empty()) message += "; " + hint;
      throw InputError(message);
    }
    if (std::find(species.begin(), species.end(), *ind) != species.end())
      throw InputError(prefix + "species \"" + name + "\" is listed twice");
    species.push_back(*ind);
  }
  return species;
}

void check_species_indices(std::span<const int> species) {
  for (std::size_t k = 0; k < species.size(); ++k) {
    if (species[k] < 1 || species[k] > nspec)
      throw std::invalid_argument("species index " + std::to_string(species[k]) + " outside 1.." +
                                  std::to_string(nspec));
    if (std::find(species.begin(), species.begin() + static_cast<std::ptrdiff_t>(k), species[k]) !=
        species.begin() + static_cast<std::ptrdiff_t>(k))
      throw std::invalid_argument("species " + std::string(species_name(species[k])) +
                                  " selected twice");
  }
}

}  // namespace box
