#pragma once
// Sizes of the mechanism and the index of every species. All values are
// 1-based as in the chemistry tables; box::at(k) gives the storage offset.
#include "mechanism/species.hpp"

namespace box {

inline constexpr int nspec = 80;    // all species
inline constexpr int nvar = 78;     // integrated species, indices 1..78
inline constexpr int nfix = 2;      // fixed species (H2O, M), indices 79..80
inline constexpr int nreact = 249;  // reactions and rate coefficients
inline constexpr int nonzero = 962;      // Jacobian positions, diagonal included
inline constexpr int lu_nonzero = 1111;  // the same plus the fill-in of the LU
inline constexpr int cnvar = 79;         // nvar + 1: length of lu_crow, lu_diag

// ind_sulf = 1 ... ind_no2 = 78, ind_h2o = 79, ind_m = 80.
#define BOX_DEFINE_INDEX(index, lower, upper) inline constexpr int ind_##lower = index;
BOX_SPECIES(BOX_DEFINE_INDEX)
#undef BOX_DEFINE_INDEX

// Positions of the fixed species in the fixed-species vector f.
inline constexpr int indf_h2o = ind_h2o - nvar;
inline constexpr int indf_m = ind_m - nvar;

static_assert(nvar + nfix == nspec && cnvar == nvar + 1);
static_assert(ind_no2 == nvar && ind_m == nspec && indf_h2o == 1 && indf_m == 2);

}  // namespace box
