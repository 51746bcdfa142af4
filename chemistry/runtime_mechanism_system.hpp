#pragma once
// A mechanism read at run time as a stiff system for the Rosenbrock
// integrator: f, J in the factors' layout, the factorisation of the stage
// matrix and the solve are the loop kernels over the mechanism's derived
// index lists; the rate coefficients follow the air and the photolysis
// frequencies set before an integration, and the RO2 parts follow the
// concentrations at each evaluation.
//
// The photolysis frequencies may instead be functions of time: every
// evaluation at time t (f, the Jacobian, the difference quotient of df/dt,
// the budgets' rates) then sets the frequencies at t first, and with them
// the coefficients that depend on them; the others stay the integration's.
// The integration is then non-autonomous, over the times the function
// describes.
//
// The Jacobian holds RO2 fixed: d k / d RO2 is left out, as box models of
// the MCM do, so that the pattern stays that of the reactions (with it,
// every RO2 reaction would couple to every peroxy radical). The
// integrator's error control absorbs the difference.
//
// Its sizes are the mechanism's, known only once the file is read: the
// integrator keeps its stage storage in vectors of those sizes.
#include <cstddef>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "integrator/rosenbrock.hpp"
#include "mechanism/derivation.hpp"
#include "mechanism/loop_kernels.hpp"
#include "mechanism/native_kernels.hpp"
#include "mechanism/runtime_mechanism.hpp"
#include "mechanism/runtime_rates.hpp"

namespace box {

class RuntimeMechanismSystem {
 public:
  // All must outlive the system. `native`: the derivation's machine code
  // for f, J and the solve (NativeKernels::write), or nullptr for the loop
  // kernels; the bits are the same.
  RuntimeMechanismSystem(const Mechanism& mechanism, const MechanismDerivation& derivation,
                         const NativeKernels* native = nullptr)
      : d_(&derivation),
        native_(native),
        rates_(mechanism),
        r_(static_cast<std::size_t>(derivation.reactions)),
        partial_(derivation.partial_reaction.size()),
        timed_j_(mechanism.photolysis_channels.size(), 0.0) {}

  // The air and photolysis frequencies (by slot) of the next integration.
  void set_conditions(const MechanismAir& air, std::span<const double> photolysis) {
    rates_.set_conditions(air, photolysis);
    air_ = air;
    timed_valid_ = false;
  }

  // The frequencies (by slot, s-1) at time t of the integration, for the
  // following integrations; an empty function: those of set_conditions
  // held over each integration.
  using Frequencies = std::function<void(double t, std::span<double> j)>;
  void set_time_dependent_photolysis(Frequencies frequencies) {
    frequencies_ = std::move(frequencies);
    timed_valid_ = false;
  }
  bool time_dependent() const noexcept { return static_cast<bool>(frequencies_); }

  // Factors on single reactions' coefficients (RuntimeRates').
  void set_rate_factors(std::span<const std::pair<int, double>> factors) { rates_.set_rate_factors(factors); }
  // Supplied rate parameters (RuntimeRates::set_parameters), for the
  // following integrations.
  void set_rate_parameters(std::span<const std::pair<int, double>> values) { rates_.set_parameters(values); }

  // Species, and stored entries of the factors (the Jacobian's pattern
  // with its fill-in).
  int n() const noexcept { return d_->n; }
  // Whether f, J and the solve run as machine code (else the loops).
  bool machine_code() const noexcept { return native_ != nullptr; }
  int nnz() const noexcept { return d_->lu_entries(); }
  const RuntimeRates& rates() const noexcept { return rates_; }

  void fun(double t, const double* y, double* f) const {
    if (native_ != nullptr) native_->fun(coefficients_at(t, y), y, r_.data(), f);
    else loop_fun(*d_, coefficients_at(t, y), y, r_.data(), f);
  }
  void jac(double t, const double* y, double* jac) const {
    if (native_ != nullptr) native_->jac(coefficients_at(t, y), y, partial_.data(), jac);
    else loop_jac(*d_, coefficients_at(t, y), y, partial_.data(), jac);
  }
  // The coefficients every evaluation takes at (t, y) (the RO2 parts
  // follow y, which is read only at the RO2 members); the lanes ask for
  // them to hold several boxes' coefficients side by side.
  const double* coefficients_at(double t, const double* y) const {
    at(t);
    if (rates_.has_ro2_terms()) rates_.update_ro2(y);
    return rates_.k().data();
  }
  int decomp(double* a) const { return loop_decomp(*d_, a); }
  int decomp_shifted(const double* jac, double shift, double* a) const {
    return loop_decomp_shifted(*d_, jac, shift, a);
  }
  void solve(const double* lu, double* x) const {
    if (native_ != nullptr) native_->solve(lu, x);
    else loop_solve(*d_, lu, x);
  }
  std::size_t diag(int species) const {
    return static_cast<std::size_t>(d_->species_diagonal[static_cast<std::size_t>(species)]);
  }
  // The processes are the reactions, in file order: f = (net
  // coefficients) times their rates, for budgets (molecules cm-3 s-1).
  int nproc() const noexcept { return d_->reactions; }
  void process_rates(double t, const double* y, double* rate) const {
    loop_rates(*d_, coefficients_at(t, y), y, rate);
  }
  // out = R v with R = dr/dy, RO2 held fixed as in the Jacobian (so that
  // J = S R and the integrals close): each reactant occurrence's partial,
  // k times the other factors, times v of that reactant.
  void process_jvp(double t, const double* y, const double* v, double* out) const {
    const double* k = coefficients_at(t, y);
    const int* start = d_->reactant_start.data();
    const int* species = d_->reactant_species.data();
    for (int j = 0; j < d_->reactions; ++j) {
      double sum = 0.0;
      for (int q = start[j]; q < start[j + 1]; ++q) {
        double partial = k[j];
        for (int o = start[j]; o < start[j + 1]; ++o)
          if (o != q) partial = partial * y[species[o]];
        sum = sum + partial * v[species[q]];
      }
      out[j] = sum;
    }
  }

 private:
  // The coefficients at time t: with frequencies in time, those of the
  // frequencies at t. The last time is kept, as f and the Jacobian are
  // asked at the same times; an unchanged frequency (bit for bit) costs no
  // evaluation.
  void at(double t) const {
    if (!frequencies_ || (timed_valid_ && t == timed_t_)) return;
    frequencies_(t, timed_j_);
    rates_.set_conditions(air_, timed_j_);
    timed_t_ = t;
    timed_valid_ = true;
  }

  const MechanismDerivation* d_;
  const NativeKernels* native_;
  // Working storage of the evaluations (a system is one integration's).
  mutable RuntimeRates rates_;
  mutable std::vector<double> r_;
  mutable std::vector<double> partial_;
  MechanismAir air_;
  Frequencies frequencies_;
  mutable std::vector<double> timed_j_;
  mutable double timed_t_ = 0.0;
  mutable bool timed_valid_ = false;
};

static_assert(RosenbrockSystem<RuntimeMechanismSystem>);
static_assert(ShiftedDecomposition<RuntimeMechanismSystem>);
static_assert(ProcessSystem<RuntimeMechanismSystem>);

}  // namespace box
