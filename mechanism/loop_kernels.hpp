#pragma once
// The kernels of a mechanism read at run time: loops over the derivation's
// index lists (mechanism/derivation.hpp). Each sum is formed in the order
// the lists give (reactions in file order), so the same mechanism gives the
// same bits wherever it runs.
#include <array>
#include <span>
#include <utility>
#include <vector>

#include "mechanism/derivation.hpp"
#include "mechanism/runtime_mechanism.hpp"

namespace box {

// Reaction rates r_j = k_j * product of the reactants' concentrations
// (molecules cm-3 s-1).
void loop_rates(const MechanismDerivation& d, const double* k, const double* y, double* r);

// f = net coefficients times rates; `r` receives the rates.
void loop_fun(const MechanismDerivation& d, const double* k, const double* y, double* r, double* f);

// The Jacobian df/dy in the factors' layout (d.lu_entries() values, zero at
// the fill-in positions); `partial` (d.partial_reaction.size() values)
// receives the rates' partial derivatives.
void loop_jac(const MechanismDerivation& d, const double* k, const double* y, double* partial,
              double* jac);

// In-place LU factorisation of a matrix in the factors' layout, without
// pivoting: the integrator's stage matrix I/(h gamma) - J has a strong
// diagonal, and a fixed order keeps the pattern fixed. Returns 0, or the
// first row (1-based, elimination order) whose pivot is zero, subnormal or
// not a number. U's diagonal is stored as the reciprocals of the pivots:
// the multipliers of a column and the back substitution multiply by it, one
// division per row instead of one per multiplier and none left in the
// substitution's chain of dependent operations.
int loop_decomp(const MechanismDerivation& d, double* a);

// Forms 0 - jac plus `shift` on the diagonal into `a` and factorises it.
int loop_decomp_shifted(const MechanismDerivation& d, const double* jac, double shift, double* a);

// x := (LU)^-1 x, x by species in file order. Rows of the substitutions
// longer than loop_solve_long_row terms are summed in four partial sums,
// term q into sum q mod 4, subtracted as (s0 + s1) + (s2 + s3).
inline constexpr int loop_solve_long_row = 8;
void loop_solve(const MechanismDerivation& d, const double* lu, double* x);

// The lane form: the same kernels over loop_lanes boxes at once, laid out
// entry-major (entry e of box l at [e * loop_lanes + l], for k, y, r, f,
// partial, jac, a and x alike), so that one vector register holds one entry
// of every box. Each lane performs exactly the one-box kernel's operations
// in its order: lane l gives the bits the one-box kernel gives box l.
inline constexpr int loop_lanes = 4;
using LaneStatus = std::array<int, loop_lanes>;

void loop_fun_lanes(const MechanismDerivation& d, const double* k, const double* y, double* r, double* f);
void loop_jac_lanes(const MechanismDerivation& d, const double* k, const double* y, double* partial,
                    double* jac);
// Each lane's result is loop_decomp's for that box: 0, or the first row
// whose pivot failed. A lane whose pivot failed goes on being eliminated
// with the others (its factors are then of no use, as its status says);
// the other lanes are not affected.
LaneStatus loop_decomp_lanes(const MechanismDerivation& d, double* a);
// a = 0 - jac plus shift[l] on lane l's diagonal, then factorised.
LaneStatus loop_decomp_shifted_lanes(const MechanismDerivation& d, const double* jac,
                                     const std::array<double, loop_lanes>& shift, double* a);
void loop_solve_lanes(const MechanismDerivation& d, const double* lu, double* x);

// The rate coefficients of a mechanism and when they are worked out: the
// parts that depend only on the air when it changes, the photolysis parts
// when the frequencies change, the RO2 parts at each evaluation (RO2 is a
// sum of concentrations), the parts that use a supplied rate parameter
// when one changes. Constants are evaluated once.
class RuntimeRates {
 public:
  explicit RuntimeRates(const Mechanism& mechanism);

  // The air and the photolysis frequencies (by slot of
  // mechanism.photolysis_channels); only what depends on what changed is
  // evaluated again.
  void set_conditions(const MechanismAir& air, std::span<const double> photolysis);
  // The RO2 sum of y and the coefficients that depend on it.
  void update_ro2(const double* y);
  // Factors on single reactions' coefficients (1-based reaction number in
  // file order, factor), applied to every evaluation from now on:
  // sensitivity studies. Numbers outside the mechanism are
  // std::invalid_argument (the scenario's are checked before).
  void set_rate_factors(std::span<const std::pair<int, double>> factors);
  // Values of supplied rate parameters (0-based index of the named
  // coefficient, value in the file's units), from now on; the others keep
  // theirs (0 at first). Only what uses a changed one is evaluated again.
  // An index of no supplied coefficient is std::invalid_argument.
  void set_parameters(std::span<const std::pair<int, double>> values);

  const std::vector<double>& k() const noexcept { return k_; }
  const std::vector<double>& coefficients() const noexcept { return values_; }
  double ro2() const noexcept { return ro2_; }
  bool has_ro2_terms() const noexcept { return !ro2_reactions_.empty(); }
  // Expressions evaluated so far (named coefficients and reactions).
  long long evaluations() const noexcept { return evaluations_; }

  // The first reaction (0-based) whose coefficient is not a finite number
  // at least zero, or -1.
  int first_bad_reaction() const;

 private:
  // Evaluates the listed names and reactions whose dependence meets `mask`.
  void evaluate(const std::vector<int>& names, const std::vector<int>& reactions, unsigned mask);

  const Mechanism* mechanism_;
  std::vector<double> air_;
  std::vector<double> photolysis_;
  double ro2_ = 0.0;
  std::vector<double> values_;  // named coefficients
  std::vector<double> k_;       // reactions
  std::vector<double> factor_;  // per reaction; empty: none
  bool first_ = true;
  long long evaluations_ = 0;
  // What is not constant, in file order: without RO2, and with it.
  std::vector<int> varying_names_, varying_reactions_;
  std::vector<int> ro2_names_, ro2_reactions_;
};

}  // namespace box
