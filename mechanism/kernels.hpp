#pragma once
// The numerical kernels of the mechanism, generated from the reaction table
// as straight-line code with constant indices. All arrays are plain storage
// (0-based); species, reactions and pattern entries sit at box::at(k) of
// their 1-based number. The routines keep no state between calls.
namespace box {

// Time derivatives of the variable species. v: nvar concentrations
// (molecules cm-3), f: the nfix fixed ones (H2O, M), rct: the nreact rate
// coefficients; vdot: nvar derivatives (molecules cm-3 s-1), all written.
// Each reaction rate is rct(n) times its factors taken left to right
// (variable species by index, the fixed one last); each derivative is the
// sum of net coefficient times rate over the reactions in increasing order.
void racm_fun(const double* v, const double* f, const double* rct, double* vdot) noexcept;

// Jacobian d(vdot)/d(v) at the same arguments, into the lu_nonzero entries of
// the pattern. Every entry is written; fill-in positions and the empty
// diagonals of species 1 to 4 get exactly 0.
void racm_jac_sp(const double* v, const double* f, const double* rct, double* jvs) noexcept;

// In-place LU factorisation without pivoting on the pattern. ier = 0 on
// success; otherwise the 1-based row k whose pivot is zero, subnormal or NaN,
// and the factorisation stops there. The pivot is tested as supplied, before
// row k is touched (rows before k then hold their factors, rows from k the
// caller's values), and once more after row k's elimination, where exact
// cancellation can still leave a zero pivot (row k then holds its reduced
// values). Either way the matrix is singular to working precision and no
// division by the bad pivot takes place.
void decomp_racm(double* jvs, int& ier) noexcept;

// decomp_racm of the matrix 0.0 - jac[t] for every entry t, plus shift on
// the diagonal (the Rosenbrock stage matrix 1/(h gamma) I - J), formed
// while factorising: the same operations as forming it first and calling
// decomp_racm, so the same bits and the same ier. jac is not changed. When
// ier = k > 0, rows from k hold unspecified values.
void decomp_racm_shifted(const double* jac, double shift, double* jvs, int& ier) noexcept;

// Solves (LU) x = b in place with the factors of decomp_racm: x holds b on
// entry and the solution on return.
void racm_solve(const double* jvs, double* x) noexcept;

}  // namespace box
