#pragma once
// The rate coefficients of a mechanism read at run time, evaluated from its
// expressions (mechanism/expression.hpp) as the conditions change.
#include <span>
#include <utility>
#include <vector>

#include "mechanism/runtime_mechanism.hpp"

namespace box {

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
