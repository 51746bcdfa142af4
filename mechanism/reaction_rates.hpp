#pragma once
// The mechanism's reactions as processes: each reaction's rate, the partial
// derivatives of the rates with respect to the variable species, and the
// product of those partials with a vector. The right-hand side is the net
// coefficients times these rates (racm_fun), so integrating the rates
// alongside the species gives each reaction's contribution to every
// species' change: the budgets.
#include "mechanism/structure.hpp"

namespace box {

// Partial derivatives of the rates with respect to variable species: the
// partial-derivative slots of structure.hpp without those of H2O and M.
inline constexpr int n_rate_partials = [] {
  int n = 0;
  for (const mech::Partial& d : mech::partials) n += mech::is_fixed(d.species) ? 0 : 1;
  return n;
}();

// rate(n) = rct(n) times the reaction's factors taken left to right
// (variable species from v, H2O and M from f), molecules cm-3 s-1, in the
// order racm_fun forms them. v: nvar, f: nfix, rct and rate: nreact values.
void racm_reaction_rates(const double* v, const double* f, const double* rct,
                         double* rate) noexcept;

// The n_rate_partials derivatives d(rate)/d(species) at (v, f), in the
// order of the partial-derivative slots (reaction by reaction, factor by
// factor); a self-reaction's is 2 k v ... as in the Jacobian.
void racm_rate_partials(const double* v, const double* f, const double* rct,
                        double* partials) noexcept;

// out(n) = sum over the variable reactants s of reaction n of
// d(rate n)/d(s) * x(s), with partials from racm_rate_partials; x: nvar,
// out: nreact values, all written.
void racm_rate_jvp(const double* partials, const double* x, double* out) noexcept;

}  // namespace box
