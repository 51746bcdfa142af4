#pragma once
// A mechanism file read and derived once: shared by every run of it (the
// members of an ensemble) and never changed. Readers (io/) make it; runs,
// ensembles and outputs only read it.
#include <filesystem>
#include <memory>

#include "mechanism/catalogue.hpp"
#include "mechanism/derivation.hpp"
#include "mechanism/native_kernels.hpp"
#include "mechanism/runtime_mechanism.hpp"

namespace box {

struct LoadedMechanism {
  std::filesystem::path file;  // as the scenario gives it
  Mechanism mechanism;
  MechanismDerivation derivation;
  // Machine code for the derivation's kernels, or nullptr (the loops).
  std::unique_ptr<const NativeKernels> native;
  // What the mechanism holds, by name and number.
  std::shared_ptr<const MechanismCatalogue> catalogue;
};

// The catalogue of `loaded`, or the built-in mechanism's for null.
inline const MechanismCatalogue& catalogue(const LoadedMechanism* loaded) {
  return loaded != nullptr ? *loaded->catalogue : *builtin_catalogue();
}

}  // namespace box
