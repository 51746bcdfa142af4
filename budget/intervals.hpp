#pragma once
// Integrated process rates summed over output intervals.
//
// A run's processes are the mechanism's reactions (the built-in
// mechanism's 249, or those of a file) followed by any number of other
// processes, each of which changes one species at a rate of
// its own (an emission, a deposition, a dilution). Each chemistry step
// reports the integral of every process rate over the step in ppb of that
// step's air (molecules cm-3 divided by the step's air number density,
// times 1e9), so that steps at different air densities add up; and, per
// species, the amounts that changed it outside the processes at the step's
// boundaries ("clipping" of negative values, and e.g. "constraint" where a
// species is held at a prescribed value). An interval's budget is the sum
// over its steps.
//
// For every species s and interval,
//   x_s(end) - x_s(start) = sum_p nu_{s,p} I_p + sum of its adjustments
// in ppb, to rounding, where nu_{s,p} is the net coefficient of s in
// reaction p (MechanismCatalogue::net) or the coefficient of a named process.
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mechanism/catalogue.hpp"
#include "mechanism/parameters.hpp"

namespace box::budget {

// A process after the reactions: `term` names its kind ("emission",
// "deposition", "dilution", ...), and it changes `species` (ind_*, 1-based)
// by `coef` times its integral.
struct NamedProcess {
  std::string term;
  int species = 0;
  double coef = 1.0;
};

// The processes of a run: the reactions of `reactions`, then `named` in
// order.
struct ProcessList {
  std::vector<NamedProcess> named;
  std::shared_ptr<const MechanismCatalogue> reactions = builtin_catalogue();
  int size() const noexcept { return reactions->count() + static_cast<int>(named.size()); }
};

// An amount per integrated species, ppb; the built-in mechanism's nvar
// zeros unless sized otherwise.
class SpeciesAmounts {
 public:
  SpeciesAmounts() : v_(static_cast<std::size_t>(nvar), 0.0) {}
  explicit SpeciesAmounts(int n) : v_(static_cast<std::size_t>(n), 0.0) {}
  double& operator[](std::size_t k) { return v_[k]; }
  double operator[](std::size_t k) const { return v_[k]; }
  std::size_t size() const noexcept { return v_.size(); }
  const double* data() const noexcept { return v_.data(); }
  operator std::span<const double>() const noexcept { return v_; }

 private:
  std::vector<double> v_;
};

// Per-species amounts (ppb, mechanism order) added outside the processes,
// under one name.
struct Adjustment {
  std::string term;
  SpeciesAmounts ppb;
};

// What the processes did to `species` (ind_*, 1-based) given their
// integrals (reactions first): the sum of net coefficient times integral.
double process_change(int species, std::span<const double> process_ppb,
                      const ProcessList& processes = {});

// One output interval: local times in hours, and the sums over its steps.
struct IntervalIntegrals {
  double start_h = 0;
  double end_h = 0;
  std::vector<double> process;           // ProcessList::size() integrals, ppb
  std::vector<Adjustment> adjustments;   // "clipping" first, others as reported
  int steps = 0;                         // chemistry steps summed

  // The adjustment named `term`, or null.
  const Adjustment* adjustment(const std::string& term) const;
};

// Sums the steps of each interval. Usage: start(t0); then for every
// chemistry step add_step(...) (and add_adjustment(...) for other named
// adjustments); at each output time close(t) returns the interval ending
// there and starts the next.
class IntervalAccumulator {
 public:
  // `nproc` processes, `nspecies` integrated species.
  explicit IntervalAccumulator(int nproc = nreact, int nspecies = nvar);

  // Starts an interval at local time start_h (hours), with zero sums.
  void start(double start_h);

  // One chemistry step: `process_ppb` holds the nproc integrals (reactions
  // first), `clipping_ppb` the nspecies clipping amounts. Throws
  // std::invalid_argument on other lengths.
  void add_step(std::span<const double> process_ppb, std::span<const double> clipping_ppb);

  // Per-species amounts of a named adjustment ("constraint", ...) of the
  // current step; nspecies values.
  void add_adjustment(const std::string& term, std::span<const double> ppb);

  // The interval from the last start to end_h; the next starts at end_h.
  IntervalIntegrals close(double end_h);

  const IntervalIntegrals& current() const noexcept { return current_; }

 private:
  Adjustment& adjustment(const std::string& term);
  int nproc_;
  int nspecies_;
  IntervalIntegrals current_;
};

}  // namespace box::budget
