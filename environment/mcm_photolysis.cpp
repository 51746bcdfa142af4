#include "environment/mcm_photolysis.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace box {
namespace {

constexpr McmParameters table[] = {
#include "mcm_parameters.inc"
};

constexpr bool ascending() {
  for (std::size_t k = 1; k < std::size(table); ++k)
    if (table[k].channel <= table[k - 1].channel) return false;
  return true;
}
static_assert(ascending(), "the MCM photolysis rows must be in increasing channel order");

}  // namespace

std::span<const McmParameters> mcm_parameters() { return table; }

const McmParameters* find_mcm_channel(int channel) {
  const auto it = std::lower_bound(std::begin(table), std::end(table), channel,
                                   [](const McmParameters& p, int c) { return p.channel < c; });
  return it != std::end(table) && it->channel == channel ? &*it : nullptr;
}

double mcm_frequency(const McmParameters& p, double cos_zenith) {
  if (!(cos_zenith > 1e-12)) return 0.0;
  return p.l * std::pow(cos_zenith, p.m) * std::exp(-p.n / cos_zenith);
}

}  // namespace box
