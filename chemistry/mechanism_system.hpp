#pragma once
// The mechanism seen as a stiff system for the Rosenbrock integrator: the
// rate coefficients and the fixed species (water vapour and air) are held
// constant over an integration, so the system binds them once and exposes
// only the variable species.
#include <cstddef>

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_rates.hpp"

namespace box {

struct MechanismSystem {
  static constexpr int n = nvar;
  static constexpr int nnz = lu_nonzero;

  const double* fix;     // nfix fixed-species concentrations, molecules cm-3
  const double* rconst;  // nreact rate coefficients

  // The chemistry has no explicit time dependence: t is not passed on.
  void fun(double /*t*/, const double* var, double* vdot) const {
    racm_fun(var, fix, rconst, vdot);
  }
  void jac(double /*t*/, const double* var, double* jvs) const {
    racm_jac_sp(var, fix, rconst, jvs);
  }
  static int decomp(double* jvs) {
    int ier = 0;
    decomp_racm(jvs, ier);
    return ier;
  }
  // 0 - jac plus shift on the diagonal, factorised as it is formed.
  static int decomp_shifted(const double* jac, double shift, double* jvs) {
    int ier = 0;
    decomp_racm_shifted(jac, shift, jvs, ier);
    return ier;
  }
  static void solve(const double* jvs, double* x) { racm_solve(jvs, x); }
  // Storage position of row i's diagonal (0-based row, 0-based position).
  static constexpr std::size_t diag(int i) { return at(lu_diag[static_cast<std::size_t>(i)]); }

  // The processes are the reactions, in reaction order: f = (net
  // coefficients) times these rates, and their integrals over a step are
  // the reactions' budgets.
  static constexpr int nproc() { return nreact; }
  void process_rates(double /*t*/, const double* var, double* rate) const {
    racm_reaction_rates(var, fix, rconst, rate);
  }
  void process_jvp(double /*t*/, const double* var, const double* x, double* out) const {
    racm_reaction_rates_jvp(var, fix, rconst, x, out);
  }
};

static_assert(RosenbrockSystem<MechanismSystem>);
static_assert(ProcessSystem<MechanismSystem>);
// The error norm averages over the 78 species with this factor.
static_assert(1.0 / MechanismSystem::n == 0.01282051282051282);

using MechanismIntegrator = Rosenbrock<MechanismSystem>;

}  // namespace box
