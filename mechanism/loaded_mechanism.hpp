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

// What a run's f, J and solve ran on, as its outputs' metadata records it
// (the global attribute "kernels"): `loaded` null for the built-in
// mechanism's generated code; a file's machine code where it was written
// and `machine_code` ([chemistry] kernels = "auto") lets the run use it,
// else its loop kernels.
inline const char* kernels_record(const LoadedMechanism* loaded, bool machine_code) {
  if (loaded == nullptr) return "generated (built-in mechanism)";
  return machine_code && loaded->native != nullptr ? "machine code (x86-64)" : "loops";
}

// The catalogue of `loaded`, or the built-in mechanism's for null.
inline const MechanismCatalogue& catalogue(const LoadedMechanism* loaded) {
  return loaded != nullptr ? *loaded->catalogue : *builtin_catalogue();
}

}  // namespace box
