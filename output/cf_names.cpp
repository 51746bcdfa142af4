// CF standard names of the species' mole fractions, each checked against the
// CF standard name table. A lumped species that the mechanism names after
// its lead compound (TOL toluene, XYL xylene, API alpha-pinene, LIM
// limonene, ORA2 acetic acid) carries that compound's name; lumped classes
// without one (HC3, OLT, KET, ...), most peroxy radicals, O1D, O3P and BR2
// have none.
#include <string_view>
#include <utility>

#include "mechanism/parameters.hpp"
#include "output/netcdf_writer.hpp"

namespace box {
namespace {

constexpr std::pair<int, std::string_view> cf_names[] = {
    {ind_o3, "mole_fraction_of_ozone_in_air"},
    {ind_no, "mole_fraction_of_nitrogen_monoxide_in_air"},
    {ind_no2, "mole_fraction_of_nitrogen_dioxide_in_air"},
    {ind_no3, "mole_fraction_of_nitrate_radical_in_air"},
    {ind_n2o5, "mole_fraction_of_dinitrogen_pentoxide_in_air"},
    {ind_hono, "mole_fraction_of_nitrous_acid_in_air"},
    {ind_hno3, "mole_fraction_of_nitric_acid_in_air"},
    {ind_hno4, "mole_fraction_of_peroxynitric_acid_in_air"},
    {ind_pan, "mole_fraction_of_peroxyacetyl_nitrate_in_air"},
    {ind_ho, "mole_fraction_of_hydroxyl_radical_in_air"},
    {ind_ho2, "mole_fraction_of_hydroperoxyl_radical_in_air"},
    {ind_h2o2, "mole_fraction_of_hydrogen_peroxide_in_air"},
    {ind_hcho, "mole_fraction_of_formaldehyde_in_air"},
    {ind_co, "mole_fraction_of_carbon_monoxide_in_air"},
    {ind_co2, "mole_fraction_of_carbon_dioxide_in_air"},
    {ind_ch4, "mole_fraction_of_methane_in_air"},
    {ind_eth, "mole_fraction_of_ethane_in_air"},
    {ind_ete, "mole_fraction_of_ethene_in_air"},
    {ind_iso, "mole_fraction_of_isoprene_in_air"},
    {ind_tol, "mole_fraction_of_toluene_in_air"},
    {ind_so2, "mole_fraction_of_sulfur_dioxide_in_air"},
    {ind_br, "mole_fraction_of_atomic_bromine_in_air"},
    {ind_bro, "mole_fraction_of_bromine_monoxide_in_air"},
    {ind_hobr, "mole_fraction_of_hypobromous_acid_in_air"},
    {ind_hbr, "mole_fraction_of_hydrogen_bromide_in_air"},
    {ind_xyl, "mole_fraction_of_xylene_in_air"},
    {ind_api, "mole_fraction_of_alpha_pinene_in_air"},
    {ind_lim, "mole_fraction_of_limonene_in_air"},
    {ind_ora1, "mole_fraction_of_formic_acid_in_air"},
    {ind_ora2, "mole_fraction_of_acetic_acid_in_air"},
    {ind_op1, "mole_fraction_of_methyl_hydroperoxide_in_air"},
    {ind_mo2, "mole_fraction_of_methyl_peroxy_radical_in_air"},
    {ind_h2o, "mole_fraction_of_water_vapor_in_air"},
};

}  // namespace

std::string_view cf_mole_fraction_name(int ind) {
  for (const auto& [species, name] : cf_names)
    if (species == ind) return name;
  return {};
}

}  // namespace box
