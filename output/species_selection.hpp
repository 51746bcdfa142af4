#pragma once
// Which species an output writes. Species are given by their 1-based
// mechanism index ind_x (parameters.hpp), in the order of the columns or
// variables of the output.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace box {

// The 15 species of the species table, in its column order: O3, NO, NO2,
// HCHO, LIM, NO3, HNO3, HBR, BR, BR2, HOBR, HO, BRO, PAN, HO2.
std::vector<int> table_species();

// All 80 species in mechanism order: the 78 integrated ones, H2O and M.
std::vector<int> all_species();

// The selection written as `names`: the single word "table" or "all", or a
// list of mechanism names (matched ignoring case, kept in the order given).
// Throws InputError for an empty list, an unknown name (suggesting close
// names) or a name listed twice; the message starts with `where`, which
// says where the selection was written (e.g. "run.toml: output.species").
std::vector<int> select_species(std::span<const std::string> names, std::string_view where);

// Throws std::invalid_argument unless every entry is a species index
// (1..nspec) listed once: writers take their selection from the functions
// above, so a bad one is a programming error, not an input error.
void check_species_indices(std::span<const int> species);

}  // namespace box
