#pragma once
// The campaign diagnostics at an output time (docs/diagnostics.md), of the
// built-in mechanism or of a mechanism read from a file: OH reactivity and
// the RO2 sum from the state and the rate coefficients at that time; P(O3)
// and L(O3) from the budgets' integrated reaction rates over the interval
// ending there where budgets run, else from the rates at that time.
#include <array>
#include <span>
#include <utility>
#include <vector>

#include "budget/intervals.hpp"
#include "mechanism/diagnostics.hpp"
#include "mechanism/parameters.hpp"
#include "output/observer.hpp"

namespace box {

struct Mechanism;

class CampaignDiagnostics {
 public:
  // The built-in mechanism. `rate_factors`: (reaction number, factor) as
  // the chemistry applies them.
  explicit CampaignDiagnostics(std::vector<std::pair<int, double>> rate_factors);
  // A mechanism file; its rate coefficients come with each evaluation.
  explicit CampaignDiagnostics(const Mechanism& mechanism);

  // At local time `time_h`, for the mole fractions `x` (mechanism order) in
  // air of temperature `temp` (K) and number density `c_m` (cm-3) under the
  // photolysis frequencies `j`. `open`: the budgets' interval not yet
  // closed (it ends at `time_h`), or null.
  SampleDiagnostics evaluate(const std::array<double, nspec>& x, double temp, double c_m, std::span<const double> j,
                       const budget::IntervalIntegrals* open, double time_h) const;
  // The same from the number densities `c` (molecules cm-3, the lists'
  // species order) and the rate coefficients `k` in force (one per
  // reaction, rate factors applied): a mechanism file's.
  SampleDiagnostics evaluate(std::span<const double> c, std::span<const double> k, double c_m,
                             const budget::IntervalIntegrals* open, double time_h) const;

  const diag::DiagnosticLists& lists() const { return lists_; }

 private:
  diag::DiagnosticLists lists_;
  std::vector<std::pair<int, double>> rate_factors_;
};

}  // namespace box
