#include "ensemble/monte_carlo.hpp"

#include <cmath>
#include <numbers>

namespace box::ensemble {
namespace {

std::uint64_t splitmix64(std::uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// A uniform deviate in (0, 1]: the top 53 bits, shifted off zero so that
// its logarithm is finite.
double unit_interval(std::uint64_t bits) {
  return (static_cast<double>(bits >> 11) + 1.0) * 0x1.0p-53;
}

}  // namespace

double standard_normal(std::uint64_t seed, std::uint64_t member, int reaction) {
  const std::uint64_t key =
      splitmix64(splitmix64(splitmix64(seed) ^ member) ^ static_cast<std::uint64_t>(reaction));
  const double u1 = unit_interval(splitmix64(key));
  const double u2 = unit_interval(splitmix64(key ^ 0x5851f42d4c957f2dULL));
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

std::vector<std::pair<int, double>> random_factors(const MonteCarlo& mc, std::uint64_t member) {
  std::vector<std::pair<int, double>> factors;
  factors.reserve(mc.uncertainty.size());
  for (const auto& [reaction, f] : mc.uncertainty)
    factors.emplace_back(reaction, std::exp(std::log(f) * standard_normal(mc.seed, member, reaction)));
  return factors;
}

void apply_factors(Scenario& scenario, const std::vector<std::pair<int, double>>& factors) {
  std::vector<RateFactor>& have = scenario.chemistry.rate_factors;
  std::vector<RateFactor> merged;
  merged.reserve(have.size() + factors.size());
  std::size_t i = 0;
  for (const auto& [reaction, factor] : factors) {
    while (i < have.size() && have[i].reaction < reaction) merged.push_back(have[i++]);
    if (i < have.size() && have[i].reaction == reaction) merged.push_back({reaction, have[i++].factor * factor});
    else merged.push_back({reaction, factor});
  }
  while (i < have.size()) merged.push_back(have[i++]);
  have = std::move(merged);
}

}  // namespace box::ensemble
