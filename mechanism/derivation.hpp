#pragma once
// What a run needs of a mechanism read at run time, derived once when it is
// loaded: the Jacobian's sparsity pattern, a fill-reducing order of the
// species for the factorisation, the pattern of the factors with their
// fill-in, and every operation of f, J, the factorisation and the solve as
// flat index lists. The loop kernels (mechanism/loop_kernels.hpp) then walk
// these arrays and nothing else.
//
// Species keep their file order in every vector the kernels read or write;
// only the factorisation works in the elimination order, through lists that
// name the species directly.
#include <cstddef>
#include <vector>

#include "mechanism/runtime_mechanism.hpp"

namespace box {

struct MechanismDerivation {
  int n = 0;  // species
  int reactions = 0;

  // Rates: r_j = k_j * product of y over reactant_species[reactant_start[j]
  // .. reactant_start[j+1]).
  std::vector<int> reactant_start;
  std::vector<int> reactant_species;

  // f_s = sum over [f_start[s], f_start[s+1]) of f_coefficient * r[f_reaction],
  // reactions in file order; a species a reaction leaves unchanged (net
  // coefficient zero) has no term.
  std::vector<int> f_start;
  std::vector<int> f_reaction;
  std::vector<double> f_coefficient;

  // Partial derivatives of the rates: d r_j / d y_s = multiplicity * k_j *
  // product of the other factors (one occurrence of s removed).
  std::vector<int> partial_reaction;
  std::vector<double> partial_multiplicity;  // 1 unless s is a reactant twice or more
  std::vector<int> partial_factor_start;     // partials + 1
  std::vector<int> partial_factor;           // species of the other factors

  // The order: order[k] is the species eliminated k-th, position[s] its
  // place. Of minimum degree on the symmetrised pattern and Markowitz's
  // order on the pattern as it is, the one whose factorisation takes fewer
  // operations; both break ties by file index, so the same file gives the
  // same order everywhere.
  std::vector<int> order;
  std::vector<int> position;

  // The factors' pattern, row by row in elimination order (compressed rows,
  // columns ascending in elimination order): L below the diagonal (unit
  // diagonal not stored), U from the diagonal on. The Jacobian is stored in
  // the same layout, zero at the fill-in positions.
  std::vector<int> row_start;      // n + 1
  std::vector<int> column;         // elimination index of each entry's column
  std::vector<int> column_species; // species of each entry's column
  std::vector<int> diagonal;       // position of row k's diagonal
  std::vector<int> species_diagonal;  // position of species s's diagonal

  // J at each position: sum over [jacobian_start[p], jacobian_start[p+1]) of
  // jacobian_coefficient * partial[jacobian_partial], reactions in order.
  std::vector<int> jacobian_start;
  std::vector<int> jacobian_partial;
  std::vector<double> jacobian_coefficient;

  // The elimination, row by row: each multiplier position lower[i] is
  // divided by the pivot at lower_pivot[i] (the kernels multiply by its
  // reciprocal, kept in its place once its row is done), then for each
  // update u in [update_start[i], update_start[i+1]): a[update_target[u]]
  // -= a[lower[i]] * a[update_source[u]]. The pivot of row k is checked
  // after its own updates (row_last_lower[k] is where they end).
  std::vector<int> lower;
  std::vector<int> lower_pivot;
  std::vector<int> update_start;
  std::vector<int> update_target;
  std::vector<int> update_source;
  std::vector<int> row_lower_end;  // n: lower entries of rows 0..k end here

  // The same operations once more, arranged for the kernels' loops: rows
  // of equal length one after another, so that the inner loops run with a
  // count that is fixed over a whole run of rows (unrolled for short
  // rows) instead of one that changes, unpredictably, from row to row.
  // Every value is still formed by the same operations in the same order.
  struct Run {
    int length = 0;  // terms (or factors, or updates) of each of its rows
    int first = 0;   // its first row
    int count = 0;   // its rows
    int term = 0;    // its first term; row first + i has terms term + i * length ...
  };
  // Products: out[output] = (k[coefficient] * the factors' y, in order),
  // times multiplier unless it is one (the runs do not mix the two).
  struct Products {
    std::vector<int> output, coefficient;
    std::vector<double> multiplier;
    std::vector<int> factor;  // species
    std::vector<Run> runs;
  };
  // Sums: out[output] = 0 + coefficient * in[operand] + ..., in order.
  // The rows longer than `unrolled` come last (from long_from on, their
  // terms starting at long_term, one more for the end): the kernel forms
  // several of them side by side, each sum's additions a chain of its own.
  struct Sums {
    static constexpr int unrolled = 8;
    std::vector<int> output;
    std::vector<int> operand;
    std::vector<double> coefficient;
    std::vector<Run> runs;
    int long_from = 0;
    std::vector<int> long_term;
  };
  Products rate_products;     // r from k and y
  Products partial_products;  // partial from k and y
  Sums f_sums;                // f from r
  Sums jacobian_sums;         // J (by position) from partial; fill-in: no terms
  // The factorisation column by column (pivot by pivot): pivot k's
  // multipliers are the lower entries of column k, each scaled by the
  // pivot's reciprocal and then used on every entry of row k's upper part
  // (its row's positions update_target, the sources the upper part in
  // order). Every entry receives its updates in the order of the
  // row-by-row form above, so the bits are the same; only independent rows
  // are interleaved. The pivot is whole once the columns before it are
  // done.
  std::vector<int> pivot_lower_start;  // n + 1
  std::vector<int> pivot_lower;        // multiplier positions, pivot by pivot
  std::vector<int> pivot_target;       // (upper length of the pivot) per multiplier
  std::vector<int> pivot_target_start; // n + 1: where each pivot's targets start
  // The substitutions row by row, as (species, first position, entries):
  // forward the rows with entries left of the diagonal, in elimination
  // order, from their first entry; backward every row, last first, from
  // its diagonal (the entries right of it follow).
  struct SolveRow {
    int species = 0;
    int first = 0;
    int length = 0;
  };
  std::vector<SolveRow> forward_rows, backward_rows;

  int jacobian_entries = 0;  // structurally non-zero entries of J, diagonal included
  int lu_entries() const { return static_cast<int>(column.size()); }
  int fill_in() const { return lu_entries() - jacobian_entries; }
};

// Derives everything from the mechanism's reactions.
MechanismDerivation derive(const Mechanism& mechanism);

// The order alone, for a symmetric pattern given as adjacency lists
// (neighbours of each vertex, no self loops): repeatedly eliminates the
// vertex of least degree in the graph of what remains, ties to the lowest
// index, joining its neighbours into a clique.
std::vector<int> minimum_degree_order(std::vector<std::vector<int>> adjacency);

// Markowitz's order among the diagonal pivots of an unsymmetric pattern
// (rows[i]: the columns of row i's entries): repeatedly eliminates the
// vertex whose elimination costs the fewest divisions and updates in what
// remains (column entries times row entries plus one), ties to the fewer
// entries and then the lowest index.
std::vector<int> markowitz_order(const std::vector<std::vector<int>>& rows);

// Divisions and updates of the factorisation of that pattern in `order`.
long long elimination_operations(const std::vector<std::vector<int>>& rows, const std::vector<int>& order);

}  // namespace box
