// The species an output writes: the fixed lists, and a list of names with
// the errors a misspelt or repeated name gives.
#include "output/species_selection.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.hpp"
#include "mechanism/species_lookup.hpp"

namespace box {
namespace {

std::vector<std::string> names_of(const std::vector<int>& species) {
  std::vector<std::string> names;
  for (int ind : species) names.emplace_back(species_name(ind));
  return names;
}

std::string error_of(const std::vector<std::string>& names) {
  try {
    select_species(names, "run.toml: output.species");
  } catch (const InputError& e) {
    return e.what();
  }
  return "no error";
}

TEST(SpeciesSelection, TableIsTheSpeciesTableInItsColumnOrder) {
  EXPECT_EQ(names_of(select_species(std::vector<std::string>{"table"}, "x")),
            (std::vector<std::string>{"O3", "NO", "NO2", "HCHO", "LIM", "NO3", "HNO3", "HBR", "BR",
                                      "BR2", "HOBR", "HO", "BRO", "PAN", "HO2"}));
}

TEST(SpeciesSelection, AllIsEveryIndexInMechanismOrder) {
  const std::vector<int> all = select_species(std::vector<std::string>{"all"}, "x");
  ASSERT_EQ(all.size(), static_cast<std::size_t>(nspec));
  for (int k = 0; k < nspec; ++k) EXPECT_EQ(all[static_cast<std::size_t>(k)], k + 1);
}

TEST(SpeciesSelection, NamesKeepTheirOrderAndIgnoreCase) {
  EXPECT_EQ(select_species(std::vector<std::string>{"HOBr", "o3", "M", "H2O"}, "x"),
            (std::vector<int>{ind_hobr, ind_o3, ind_m, ind_h2o}));
}

TEST(SpeciesSelection, BadListsNameWhereAndWhat) {
  EXPECT_EQ(error_of({"O3", "OH"}),
            "run.toml: output.species: unknown species \"OH\"; did you mean O3 or HO?");
  EXPECT_EQ(error_of({"ISOPRENE"}),
            "run.toml: output.species: unknown species \"ISOPRENE\"; did you mean ISOP or ISO?");
  EXPECT_EQ(error_of({"XYZZY"}), "run.toml: output.species: unknown species \"XYZZY\"");
  EXPECT_EQ(error_of({"O3", "no", "NO"}),
            "run.toml: output.species: species \"NO\" is listed twice");
  EXPECT_NE(error_of({}).find("empty list"), std::string::npos);
  EXPECT_NE(error_of({"O3", "all"}).find("stands alone"), std::string::npos);
}

TEST(SpeciesLookup, EveryNameFindsItsIndex) {
  for (int ind = 1; ind <= nspec; ++ind) EXPECT_EQ(find_species(species_name(ind)), ind);
  EXPECT_EQ(species_name(ind_br2), "BR2");
  EXPECT_EQ(find_species("br2"), ind_br2);
  EXPECT_EQ(find_species("BR"), ind_br);
  EXPECT_EQ(find_species("B"), std::nullopt);
  EXPECT_EQ(find_species(""), std::nullopt);
}

}  // namespace
}  // namespace box
