#pragma once
// CF standard names of species' mole fractions in air.
#include <string_view>

namespace box {

// The CF standard name of the mole fraction in air of the species called
// `species` (by the built-in mechanism's or the MCM's names, any case), or
// "" where the CF standard name table has none.
std::string_view cf_mole_fraction_name(std::string_view species);

}  // namespace box
