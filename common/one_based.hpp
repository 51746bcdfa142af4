#pragma once
// The model's tables (species slots, reaction numbers, sparse-matrix
// positions, photolysis slots) are numbered from 1, and the named constants
// keep those numbers so they can be read against the chemistry tables.
// C++ storage is 0-based; this is the one place that converts.
#include <cstddef>

namespace box {

// Storage offset of the entry numbered `one_based` (1 -> 0).
constexpr std::size_t at(int one_based) noexcept {
  return static_cast<std::size_t>(one_based - 1);
}

}  // namespace box
