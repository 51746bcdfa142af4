#pragma once
// What a mechanism holds, as every part of the program outside the
// mechanism layer may know it, whichever way the mechanism came (the
// built-in tables or a file): its species by name (the first ones
// integrated, the rest fixed), its reactions by number with their net
// coefficients and equations, lookup of names in any case with the close
// names of one that is not there, and the CF standard names of the species.
// Built once per mechanism and shared; never changed.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace box {

struct Mechanism;

// A species' net change per unit of a reaction's rate: products' yields
// less the reactant occurrences.
struct SpeciesChange {
  int species = 0;  // 1-based
  double coef = 0.0;
};

struct MechanismCatalogue {
  std::string source;                      // "the built-in mechanism" or the file
  std::vector<std::string> species;        // species s at species[s - 1]
  int integrated = 0;                      // the first `integrated` species; the rest are fixed
  std::vector<std::vector<SpeciesChange>> net;  // per reaction, in order; species left unchanged have none
  std::vector<std::string> equations;           // per reaction
  // The species of the mechanism's species table (output species "table"),
  // 1-based in column order; empty where it has none (then "table" means
  // every species).
  std::vector<int> table;

  int count() const noexcept { return static_cast<int>(net.size()); }
  int reaction_count() const noexcept { return count(); }
  int species_count() const noexcept { return static_cast<int>(species.size()); }
  const std::string& name(int species) const { return this->species[static_cast<std::size_t>(species - 1)]; }
  // The 1-based index of the species called `name` (any case), or 0.
  int find(std::string_view name) const;
  // "no species "NAME" in <source>", with the close names where there are.
  std::string missing(std::string_view name) const;
  // The 1-based index of the species `name`, or an InputError
  // "<where>: no species "NAME" in <source> (close: ...)".
  int index(std::string_view name, const std::string& where) const;
  // The CF standard name of species `species` (1-based), or "".
  std::string_view cf_standard_name(int species) const;
};

// The built-in mechanism's, from its compiled tables (one shared value).
const std::shared_ptr<const MechanismCatalogue>& builtin_catalogue();
// A mechanism read from a file: species and reactions in file order (every
// species integrated), the equations as the file writes them.
std::shared_ptr<const MechanismCatalogue> catalogue_of(const Mechanism& m);

}  // namespace box
