#pragma once
// What follows from the reaction table: net coefficients, the partial
// derivatives of each rate, the Jacobian's sparsity pattern and the fill-in
// of its LU factorisation. Everything here is computed at compile time from
// reaction_table.hpp and checked against the counts the mechanism is known
// to have.
#include <array>

#include "mechanism/reaction_table.hpp"

namespace box::mech {

// ---------------------------------------------------------------------------
// Net coefficients. A reaction changes species s by c(s) = (yield of s among
// the products) - (times s is a reactant), one constant per species and
// reaction. A catalyst (NO2 in reaction 55, MO2 in 188, ACO3 in 209) has c = 0
// and gets no term at all; a partly regenerated reactant (HO in 66, 88, 89;
// MO2 in 176, 177; NO3 in 108; ACO3 in 210) gets the single net constant; a
// self-reaction takes its species twice. H2O and M are never changed.

struct NetTerm {
  int species = 0;
  double coef = 0.0;
};
inline constexpr int max_net_terms = 16;
struct NetCoefficients {
  std::array<NetTerm, max_net_terms> term{};
  int count = 0;
};

constexpr NetCoefficients net_coefficients(const Reaction& r) {
  std::array<bool, nspec + 1> involved{};
  std::array<double, nspec + 1> produced{};
  std::array<int, nspec + 1> consumed{};
  for (int k = 0; k < r.n_products; ++k) {
    const Product& p = r.products[static_cast<std::size_t>(k)];
    produced[static_cast<std::size_t>(p.species)] += p.yield;
    involved[static_cast<std::size_t>(p.species)] = true;
  }
  for (int k = 0; k < r.n_factors; ++k) {
    ++consumed[static_cast<std::size_t>(r.factors[static_cast<std::size_t>(k)])];
    involved[static_cast<std::size_t>(r.factors[static_cast<std::size_t>(k)])] = true;
  }
  NetCoefficients out;
  for (int s = 1; s <= nvar; ++s) {
    const auto i = static_cast<std::size_t>(s);
    const double c = produced[i] - consumed[i];
    if (!involved[i] || c == 0.0) continue;
    if (out.count == max_net_terms) throw "too many net terms";
    out.term[static_cast<std::size_t>(out.count++)] = {s, c};
  }
  return out;
}

inline constexpr std::array<NetCoefficients, nreact> net = [] {
  std::array<NetCoefficients, nreact> all{};
  for (int n = 1; n <= nreact; ++n) all[at(n)] = net_coefficients(reactions[at(n)]);
  return all;
}();

// c(s, n), 0 where reaction n leaves s unchanged.
constexpr double net_coef(int s, int n) {
  const NetCoefficients& c = net[at(n)];
  for (int k = 0; k < c.count; ++k)
    if (c.term[static_cast<std::size_t>(k)].species == s)
      return c.term[static_cast<std::size_t>(k)].coef;
  return 0.0;
}

// ---------------------------------------------------------------------------
// Partial derivatives of the rates. Each distinct reactant factor of each
// reaction gets a slot, in reaction order and within a reaction in factor
// order. The derivative with respect to a variable species is the rate
// coefficient times the remaining factors (for a self-reaction 2 k v); the
// slots of fixed species exist but are never formed, since H2O and M are
// not integrated.

struct Partial {
  int reaction = 0;
  int species = 0;
  bool twice = false;                       // self-reaction: d/dv (k v v ...) = 2 k v ...
  std::array<int, max_factors - 1> rest{};  // the other factors, in rate-product order
  int n_rest = 0;
};

inline constexpr int n_partials = 459;

inline constexpr std::array<Partial, n_partials> partials = [] {
  std::array<Partial, n_partials> out{};
  int slot = 0;
  for (const Reaction& r : reactions) {
    for (int k = 0; k < r.n_factors; ++k) {
      const int s = r.factors[static_cast<std::size_t>(k)];
      if (k > 0 && r.factors[static_cast<std::size_t>(k - 1)] == s)
        continue;  // already has its slot
      if (slot == n_partials) throw "more partial-derivative slots than expected";
      Partial& d = out[static_cast<std::size_t>(slot++)];
      d.reaction = r.number;
      d.species = s;
      bool removed = false;
      for (int m = 0; m < r.n_factors; ++m) {
        const int other = r.factors[static_cast<std::size_t>(m)];
        if (other == s && !removed) {
          removed = true;
          continue;
        }
        if (other == s) d.twice = true;
        d.rest[static_cast<std::size_t>(d.n_rest++)] = other;
      }
    }
  }
  if (slot != n_partials) throw "fewer partial-derivative slots than expected";
  return out;
}();

// 1-based slot of d(rate of reaction n)/d(species s), 0 if s is no reactant.
constexpr int partial_slot(int n, int s) {
  for (int k = 0; k < n_partials; ++k)
    if (partials[static_cast<std::size_t>(k)].reaction == n &&
        partials[static_cast<std::size_t>(k)].species == s)
      return k + 1;
  return 0;
}

// ---------------------------------------------------------------------------
// Sparsity pattern. (i, j) is a Jacobian position when some reaction has j
// among its variable reactants and changes i; every diagonal is one too.
// Gaussian elimination in species order then adds (i, j) whenever (i, k)
// and (k, j) are present for k < i, j. Storing the closure of that rule up
// front lets the factorisation run in place with no search and no pivoting;
// the species order keeps the closure small.

using BoolMatrix = std::array<std::array<bool, nvar>, nvar>;

// Positions that carry at least one reaction term.
inline constexpr BoolMatrix linked_positions = [] {
  BoolMatrix p{};
  for (const Reaction& r : reactions) {
    const NetCoefficients& c = net[at(r.number)];
    for (int t = 0; t < c.count; ++t) {
      const int i = c.term[static_cast<std::size_t>(t)].species;
      for (int k = 0; k < r.n_factors; ++k) {
        const int j = r.factors[static_cast<std::size_t>(k)];
        if (!is_fixed(j)) p[at(i)][at(j)] = true;
      }
    }
  }
  return p;
}();

inline constexpr BoolMatrix jacobian_positions = [] {
  BoolMatrix p = linked_positions;
  for (int i = 1; i <= nvar; ++i) p[at(i)][at(i)] = true;
  return p;
}();

inline constexpr BoolMatrix lu_positions = [] {
  BoolMatrix p = jacobian_positions;
  for (int k = 1; k <= nvar; ++k) {
    std::array<int, nvar> upper{};  // columns right of row k's diagonal
    int n = 0;
    for (int j = k + 1; j <= nvar; ++j)
      if (p[at(k)][at(j)]) upper[static_cast<std::size_t>(n++)] = j;
    for (int i = k + 1; i <= nvar; ++i)
      if (p[at(i)][at(k)])
        for (int m = 0; m < n; ++m) p[at(i)][at(upper[static_cast<std::size_t>(m)])] = true;
  }
  return p;
}();

struct Pattern {
  std::array<int, lu_nonzero> irow{}, icol{};
  std::array<int, cnvar> crow{}, diag{};
  std::array<std::array<int, nvar>, nvar> position{};  // 1-based entry of (i, j), 0 if none
};

inline constexpr Pattern pattern = [] {
  Pattern p{};
  int k = 0;
  for (int i = 1; i <= nvar; ++i) {
    p.crow[at(i)] = k + 1;
    for (int j = 1; j <= nvar; ++j) {
      if (!lu_positions[at(i)][at(j)]) continue;
      if (k == lu_nonzero) throw "more LU positions than expected";
      p.irow[static_cast<std::size_t>(k)] = i;
      p.icol[static_cast<std::size_t>(k)] = j;
      p.position[at(i)][at(j)] = k + 1;
      if (i == j) p.diag[at(i)] = k + 1;
      ++k;
    }
  }
  if (k != lu_nonzero) throw "fewer LU positions than expected";
  p.crow[at(cnvar)] = k + 1;
  p.diag[at(cnvar)] = k + 1;
  return p;
}();

// ---------------------------------------------------------------------------
// Checks of the derived structure against what is known of this mechanism.

// Positions below (side < 0), on (side == 0) or above (side > 0) the diagonal.
constexpr int count_true(const BoolMatrix& m, int side) {
  int n = 0;
  for (int i = 1; i <= nvar; ++i)
    for (int j = 1; j <= nvar; ++j)
      if (m[at(i)][at(j)] && ((side < 0 && j < i) || (side == 0 && j == i) || (side > 0 && j > i)))
        ++n;
  return n;
}
constexpr int count_all(const BoolMatrix& m) {
  return count_true(m, -1) + count_true(m, 0) + count_true(m, 1);
}

// Multiply-adds of the factorisation: for each multiplier L(k, j), one per
// entry of row j right of its diagonal.
constexpr int elimination_updates() {
  int n = 0;
  for (int k = 1; k <= nvar; ++k)
    for (int m = pattern.crow[at(k)]; m < pattern.diag[at(k)]; ++m) {
      const int j = pattern.icol[at(m)];
      n += pattern.crow[at(j + 1)] - pattern.diag[at(j)] - 1;
    }
  return n;
}

static_assert(count_all(jacobian_positions) == nonzero);
static_assert(count_all(lu_positions) == lu_nonzero);
static_assert(lu_nonzero - nonzero == 149);  // fill-in
static_assert(count_true(lu_positions, -1) == 533 && count_true(lu_positions, 0) == nvar &&
              count_true(lu_positions, 1) == 500);
static_assert(elimination_updates() == 3645);

// The four species no reaction consumes (SULF, CO2, ORA1, ORA2) have an
// empty diagonal; every other Jacobian position carries a reaction term.
static_assert(count_all(linked_positions) == nonzero - 4);
static_assert(!linked_positions[0][0] && !linked_positions[1][1] && !linked_positions[2][2] &&
              !linked_positions[3][3]);

// The row starts and diagonals this species order must give: the reference
// lists the pattern is checked against.
inline constexpr std::array<int, cnvar> expected_crow = {
    1,   4,   7,   19,  41,  43,  45,  47,  50,  52,  54,  56,  59,   61,   63,  68,
    71,  76,  81,  85,  89,  96,  106, 112, 117, 122, 129, 133, 138,  143,  149, 161,
    168, 189, 193, 203, 207, 211, 221, 234, 240, 249, 254, 262, 270,  288,  299, 324,
    333, 341, 349, 359, 369, 378, 389, 413, 427, 453, 485, 498, 509,  527,  544, 589,
    602, 615, 642, 669, 711, 774, 804, 826, 863, 879, 926, 958, 1023, 1062, 1112};
inline constexpr std::array<int, cnvar> expected_diag = {
    1,   4,   7,   19,  41,  43,  45,  47,  50,  52,  54,  56,   59,   61,   63,  68,
    71,  76,  81,  85,  89,  96,  106, 113, 118, 123, 129, 133,  138,  143,  149, 161,
    170, 189, 197, 203, 207, 215, 222, 234, 241, 249, 254, 262,  272,  290,  304, 325,
    334, 342, 350, 360, 370, 380, 399, 418, 438, 465, 489, 500,  517,  535,  573, 592,
    605, 629, 657, 700, 764, 795, 818, 856, 873, 921, 954, 1020, 1060, 1111, 1112};
static_assert(pattern.crow == expected_crow);
static_assert(pattern.diag == expected_diag);

}  // namespace box::mech
