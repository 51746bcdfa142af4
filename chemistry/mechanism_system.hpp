#pragma once
// The mechanism seen as a stiff system for the Rosenbrock integrator: the
// rate coefficients and the fixed species (water vapour and air) are held
// constant over an integration, so the system binds them once and exposes
// only the variable species.
#include <array>
#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

#include "chemistry/step_inputs.hpp"

#include "common/one_based.hpp"
#include "integrator/rosenbrock.hpp"
#include "mechanism/mechanism.hpp"
#include "mechanism/reaction_rates.hpp"

namespace box {

// Rate coefficients that change within an integration: those of the
// photolysis reactions follow the light, all others are the step's. The
// coefficients at time t are the step's with each photolysis reaction's
// replaced by its frequency at t (times the reaction's rate factor); the
// last time asked for is kept, as f and the Jacobian are asked at the same
// times.
class TimedCoefficients {
 public:
  // The photolysis arguments (s-1) at time t (the integrator's time).
  using Frequencies = std::function<void(double t, PhotolysisRates& j)>;

  explicit TimedCoefficients(Frequencies frequencies) : frequencies_(std::move(frequencies)) {}

  // The step's coefficients `base` (nreact) and the reactions' factors
  // (reaction number, factor) applied after them.
  void begin(const double* base, const std::vector<std::pair<int, double>>& factors);
  // The coefficients at time t.
  const double* at(double t) const;

 private:
  struct Photolysis {
    int reaction;  // 0-based
    int slot;      // 0-based photolysis argument
    double factor;
  };
  Frequencies frequencies_;
  std::vector<Photolysis> photolysis_;
  // The step's coefficients, copied once by begin(); at() rewrites only
  // the photolysis reactions' entries.
  mutable std::array<double, nreact> k_{};
  mutable PhotolysisRates j_{};
  mutable double t_ = 0;
  mutable bool valid_ = false;
};

struct MechanismSystem {
  static constexpr int n = nvar;
  static constexpr int nnz = lu_nonzero;

  const double* fix;     // nfix fixed-species concentrations, molecules cm-3
  const double* rconst;  // nreact rate coefficients
  // Null: the coefficients are rconst over the whole integration (an
  // autonomous system); else the photolysis coefficients follow time.
  const TimedCoefficients* timed = nullptr;

  const double* k(double t) const { return timed != nullptr ? timed->at(t) : rconst; }
  void fun(double t, const double* var, double* vdot) const {
    racm_fun(var, fix, k(t), vdot);
  }
  void jac(double t, const double* var, double* jvs) const {
    racm_jac_sp(var, fix, k(t), jvs);
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
  void process_rates(double t, const double* var, double* rate) const {
    racm_reaction_rates(var, fix, k(t), rate);
  }
  void process_jvp(double t, const double* var, const double* x, double* out) const {
    racm_reaction_rates_jvp(var, fix, k(t), x, out);
  }
};

static_assert(RosenbrockSystem<MechanismSystem>);
static_assert(ProcessSystem<MechanismSystem>);
// The error norm averages over the 78 species with this factor.
static_assert(1.0 / MechanismSystem::n == 0.01282051282051282);

using MechanismIntegrator = Rosenbrock<MechanismSystem>;

}  // namespace box
