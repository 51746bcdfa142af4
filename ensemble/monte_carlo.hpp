#pragma once
// Random rate factors that depend on nothing but (seed, member, reaction):
// the same seed gives the same factors whatever the number of threads or
// processes and whichever member runs first. Each draw comes from a
// counter-based generator (SplitMix64 of a key mixed from the three
// numbers) and a Box-Muller transform written out here, since the standard
// library's normal distribution is not the same on every implementation.
#include <cstdint>
#include <utility>
#include <vector>

#include "ensemble/definition.hpp"

namespace box::ensemble {

// A standard normal deviate for (seed, member, reaction).
double standard_normal(std::uint64_t seed, std::uint64_t member, int reaction);

// Member `member`'s factors (reaction number, factor) in increasing
// reaction number: factor = exp(ln f * z) for the reaction's uncertainty f.
std::vector<std::pair<int, double>> random_factors(const MonteCarlo& mc, std::uint64_t member);

// Multiplies the scenario's rate factors by `factors` (both in increasing
// reaction number), adding reactions that had none.
void apply_factors(Scenario& scenario, const std::vector<std::pair<int, double>>& factors);

}  // namespace box::ensemble
