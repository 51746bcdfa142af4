#pragma once
// One member's run and what it leaves: its samples of the selected species
// and how it ended.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "integrator/lane_integrator.hpp"
#include "output/text_output.hpp"
#include "ensemble/definition.hpp"

namespace box::ensemble {

// How a member ended; the numbers are those of the ensemble file's
// status(member) variable (and match the program's exit statuses where
// there is one).
enum class MemberStatus : std::int32_t {
  success = 0,
  input = 1,           // its scenario, records or parameters are not valid
  floating_point = 3,  // an invalid operation, division by zero or overflow
  integration = 4,     // the integrator gave up in a step (values still written)
  spin_up = 5,         // [spin_up] not converged in max_days (values complete, from the last day's state)
};

struct MemberResult {
  std::size_t index = 0;
  MemberStatus status = MemberStatus::success;
  std::string message;  // "" on success
  int spin_up_days = -1;  // with [spin_up]: the days the member's spin-up took
  std::vector<double> time_h;     // local time of each sample, hours
  std::vector<double> elapsed_s;  // seconds since the member's start
  // Mole fractions, sample-major: samples x species.
  std::vector<double> values;

  std::size_t samples() const { return time_h.size(); }
  bool ok() const { return status == MemberStatus::success; }
};

// The species every member writes, as 1-based mechanism indices, from the
// ensemble's choice or the base scenario's. Throws InputError.
std::vector<int> ensemble_species(const Definition& d);

// The species every member writes with their names: for a base scenario of
// a mechanism file its species (1-based, file order; the file is read
// here), else the built-in mechanism's.
struct EnsembleSpecies {
  std::vector<int> species;
  std::vector<std::string> names;
  bool builtin = true;
};
EnsembleSpecies ensemble_output_species(const Definition& d);

// The number of samples a run of `s` takes: the start, every output
// interval and the end.
std::size_t samples_of(const Scenario& s);

// Runs member `index` to its end with the arithmetic of a trapped run:
// the exception flags are cleared before and tested after every part of
// it, and a raised invalid operation, division by zero or overflow stops
// the member where a trap would have stopped the single run. Lines the run
// would print (integrator messages, the sun's warnings) go to `discard`.
// Never throws for the member's own faults; they are in the result.
MemberResult run_member(const Definition& d, std::size_t index, const std::vector<int>& species,
                        TextOutput& discard);

// The members `indices` run in lock-step, one chemistry step at a time:
// with `lanes`, the steps of the members that allow it (closed boxes
// without budgets) are integrated together in the lanes of the vector
// registers. Each member's result is run_member's, bit for bit.
std::vector<MemberResult> run_member_group(const Definition& d, std::span<const std::size_t> indices,
                                           const std::vector<int>& species, TextOutput& discard,
                                           LaneIntegrator* lanes);

}  // namespace box::ensemble
