// CF standard names of the species' mole fractions, by the species' name in
// the mechanism (any case), each checked against the CF standard name table.
// The names cover the built-in mechanism's and the MCM's: a lumped species
// that the built-in mechanism names after its lead compound (TOL toluene,
// XYL xylene, API alpha-pinene, LIM limonene, ORA2 acetic acid) carries that
// compound's name; lumped classes without one (HC3, OLT, KET, ...), most
// peroxy radicals, O1D, O3P and BR2 have none. A name that one mechanism
// uses for another compound than these would be wrongly labelled, so only
// names the two naming schemes agree on are listed.
#include <string_view>
#include <utility>

#include "common/text.hpp"
#include "mechanism/cf_names.hpp"

namespace box {
namespace {

constexpr std::pair<std::string_view, std::string_view> cf_names[] = {
    {"O3", "mole_fraction_of_ozone_in_air"},
    {"NO", "mole_fraction_of_nitrogen_monoxide_in_air"},
    {"NO2", "mole_fraction_of_nitrogen_dioxide_in_air"},
    {"NO3", "mole_fraction_of_nitrate_radical_in_air"},
    {"N2O5", "mole_fraction_of_dinitrogen_pentoxide_in_air"},
    {"HONO", "mole_fraction_of_nitrous_acid_in_air"},
    {"HNO3", "mole_fraction_of_nitric_acid_in_air"},
    {"HNO4", "mole_fraction_of_peroxynitric_acid_in_air"},
    {"HO2NO2", "mole_fraction_of_peroxynitric_acid_in_air"},  // the MCM's HNO4
    {"PAN", "mole_fraction_of_peroxyacetyl_nitrate_in_air"},
    {"HO", "mole_fraction_of_hydroxyl_radical_in_air"},
    {"OH", "mole_fraction_of_hydroxyl_radical_in_air"},
    {"HO2", "mole_fraction_of_hydroperoxyl_radical_in_air"},
    {"H2O2", "mole_fraction_of_hydrogen_peroxide_in_air"},
    {"HCHO", "mole_fraction_of_formaldehyde_in_air"},
    {"CO", "mole_fraction_of_carbon_monoxide_in_air"},
    {"CO2", "mole_fraction_of_carbon_dioxide_in_air"},
    {"CH4", "mole_fraction_of_methane_in_air"},
    {"ETH", "mole_fraction_of_ethane_in_air"},
    {"C2H6", "mole_fraction_of_ethane_in_air"},
    {"ETE", "mole_fraction_of_ethene_in_air"},
    {"C2H4", "mole_fraction_of_ethene_in_air"},
    {"ISO", "mole_fraction_of_isoprene_in_air"},
    {"C5H8", "mole_fraction_of_isoprene_in_air"},
    {"TOL", "mole_fraction_of_toluene_in_air"},
    {"TOLUENE", "mole_fraction_of_toluene_in_air"},
    {"SO2", "mole_fraction_of_sulfur_dioxide_in_air"},
    {"NH3", "mole_fraction_of_ammonia_in_air"},
    {"BR", "mole_fraction_of_atomic_bromine_in_air"},
    {"BRO", "mole_fraction_of_bromine_monoxide_in_air"},
    {"HOBR", "mole_fraction_of_hypobromous_acid_in_air"},
    {"HBR", "mole_fraction_of_hydrogen_bromide_in_air"},
    {"XYL", "mole_fraction_of_xylene_in_air"},
    {"API", "mole_fraction_of_alpha_pinene_in_air"},
    {"APINENE", "mole_fraction_of_alpha_pinene_in_air"},
    {"BPINENE", "mole_fraction_of_beta_pinene_in_air"},
    {"LIM", "mole_fraction_of_limonene_in_air"},
    {"LIMONENE", "mole_fraction_of_limonene_in_air"},
    {"ORA1", "mole_fraction_of_formic_acid_in_air"},
    {"HCOOH", "mole_fraction_of_formic_acid_in_air"},
    {"ORA2", "mole_fraction_of_acetic_acid_in_air"},
    {"CH3CO2H", "mole_fraction_of_acetic_acid_in_air"},
    {"OP1", "mole_fraction_of_methyl_hydroperoxide_in_air"},
    {"CH3OOH", "mole_fraction_of_methyl_hydroperoxide_in_air"},
    {"MO2", "mole_fraction_of_methyl_peroxy_radical_in_air"},
    {"CH3O2", "mole_fraction_of_methyl_peroxy_radical_in_air"},
    {"CH3OH", "mole_fraction_of_methanol_in_air"},
    {"C2H5OH", "mole_fraction_of_ethanol_in_air"},
    {"CH3CHO", "mole_fraction_of_acetaldehyde_in_air"},
    {"CH3COCH3", "mole_fraction_of_acetone_in_air"},
    {"C2H2", "mole_fraction_of_ethyne_in_air"},
    {"C3H8", "mole_fraction_of_propane_in_air"},
    {"C3H6", "mole_fraction_of_propene_in_air"},
    {"BENZENE", "mole_fraction_of_benzene_in_air"},
    {"GLYOX", "mole_fraction_of_glyoxal_in_air"},
    {"MGLYOX", "mole_fraction_of_methylglyoxal_in_air"},
    {"DMS", "mole_fraction_of_dimethyl_sulfide_in_air"},
    {"H2O", "mole_fraction_of_water_vapor_in_air"},
};

}  // namespace

std::string_view cf_mole_fraction_name(std::string_view species) {
  for (const auto& [name, standard] : cf_names)
    if (same_name(name, species)) return standard;
  return {};
}

}  // namespace box
