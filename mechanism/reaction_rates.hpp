#pragma once
// The mechanism's reactions as processes: each reaction's rate, the partial
// derivatives of the rates with respect to the variable species, and the
// product of those partials with a vector. The right-hand side is the net
// coefficients times these rates (racm_fun), so integrating the rates
// alongside the species gives each reaction's contribution to every
// species' change: the budgets.
#include "mechanism/parameters.hpp"

namespace box {

// rate(n) = rct(n) times the reaction's factors taken left to right
// (variable species from v, H2O and M from f), molecules cm-3 s-1, in the
// order racm_fun forms them. v: nvar, f: nfix, rct and rate: nreact values.
void racm_reaction_rates(const double* v, const double* f, const double* rct,
                         double* rate) noexcept;

// out(n) = the derivative of rate n at (v, f) in the direction x (nvar
// values; H2O and M do not move): sum over the reactant factors of the
// rate with that factor replaced by its x, so a self-reaction's is
// 2 k v x ... as in the Jacobian. out: nreact values, all written.
void racm_reaction_rates_jvp(const double* v, const double* f, const double* rct,
                             const double* x, double* out) noexcept;

}  // namespace box
