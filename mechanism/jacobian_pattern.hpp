#pragma once
// The sparsity pattern in which the Jacobian and its LU factors are stored:
// lu_nonzero entries sorted by row and, within a row, by column. Entry k
// (1-based) stands at row lu_irow[at(k)], column lu_icol[at(k)]; row i runs
// from lu_crow[at(i)] to lu_crow[at(i + 1)] - 1 with its diagonal at
// lu_diag[at(i)]; entries left of the diagonal hold L, the rest U. All values
// are 1-based. The pattern is derived from the reaction table and already
// contains every fill-in position of the factorisation.
#include <array>

#include "mechanism/structure.hpp"

namespace box {

inline constexpr std::array<int, lu_nonzero> lu_irow = mech::pattern.irow;
inline constexpr std::array<int, lu_nonzero> lu_icol = mech::pattern.icol;
inline constexpr std::array<int, cnvar> lu_crow = mech::pattern.crow;
inline constexpr std::array<int, cnvar> lu_diag = mech::pattern.diag;

}  // namespace box
