#pragma once
// Integrals of a system's process rates over an integration, accumulated by
// the Rosenbrock integrator itself.
//
// A system dy/dt = f(y) whose right-hand side is a sum of processes,
// f(y) = S r(y) with a constant matrix S (net coefficients) and a vector of
// process rates r(y) (reaction rates, emissions, ...), can be augmented by
// the integrals z of the rates:
//   y' = S r(y),   z' = r(y).
// The augmented Jacobian is [[J, 0], [R, 0]] with R = dr/dy, so the stage
// matrix of the augmented system is block lower triangular with the
// identity scaled by 1/(h gamma) in the z block. Writing H = direction * h,
// the z part of stage i follows from the y part of the same stage:
//   k_i^z = H gamma (r(Y_i) + R k_i^y + sum_j (c_ij / H) k_j^z
//                    + H gamma_i dr/dt),
// and an accepted step adds sum_i m_i k_i^z to z. Being linear in the
// stages, that sum is formed once per accepted step from weights of the
// method (see Rosenbrock::process_weights). Nothing of z enters the
// y stages, the error estimate or the step-size control, so the species
// follow exactly the path they follow without it. Since J = S R, S k^z
// reproduces k^y (up to the rounding of the linear solve), and Rosenbrock
// methods preserve the linear invariants of what they integrate: the
// change of y over any accepted step equals S times the change of z, to
// rounding. That is what makes process budgets close.
#include <concepts>
#include <cstddef>
#include <span>
#include <vector>

namespace box {

// A system that can state its right-hand side as process rates: nproc()
// rates r(t, y), and the derivative of the rates in a direction v (a
// vector of the system's size), out = R(t, y) v with R = dr/dy.
template <class S>
concept ProcessSystem =
    requires(const S& s, double t, const double* y, const double* v, double* out) {
      { s.nproc() } -> std::convertible_to<int>;
      s.process_rates(t, y, out);
      s.process_jvp(t, y, v, out);
    };

// The integrals of the process rates over the accepted steps of the
// integrations it is handed to, plus the integrator's working storage for
// them (sized on first use, so the step loop allocates nothing afterwards).
class ProcessIntegrals {
 public:
  ProcessIntegrals() = default;
  explicit ProcessIntegrals(int nproc) { values_.assign(static_cast<std::size_t>(nproc), 0.0); }

  // The integral of each process rate since construction or the last
  // clear(), in the system's units times time.
  std::span<const double> values() const noexcept { return values_; }
  int size() const noexcept { return static_cast<int>(values_.size()); }

  // Sets every integral to zero (the storage stays).
  void clear() noexcept {
    for (double& v : values_) v = 0.0;
  }

  // Integrator storage: values of `nproc` processes, for a system of n
  // unknowns. Keeps the integrals when the number of processes is
  // unchanged, otherwise starts them at zero.
  void prepare(int nproc, int n) {
    const auto np = static_cast<std::size_t>(nproc);
    if (values_.size() != np) values_.assign(np, 0.0);
    rates_.resize(np);
    sum_.resize(np);
    dtime_.resize(np);
    state_.resize(static_cast<std::size_t>(n));
  }

  // The pieces the integrator works on (see integrator/rosenbrock.hpp).
  double* integrals() noexcept { return values_.data(); }
  double* rates() noexcept { return rates_.data(); }            // r at a stage input
  double* sum() noexcept { return sum_.data(); }                // a step's weighted sum
  double* time_derivative() noexcept { return dtime_.data(); }  // dr/dt of the step
  double* state() noexcept { return state_.data(); }            // a vector of the system's size

 private:
  std::vector<double> values_, rates_, sum_, dtime_, state_;
};

}  // namespace box
