#pragma once
// The reader of version-1 mechanism configurations (JSON or YAML): species,
// phases and gas-phase reactions, in one file or split over files listed
// under `files` (relative to the file that lists them). Version 1 works in
// mol m-3 and SI units; the reader converts every rate parameter to
// molecules cm-3 by its reaction's order and returns the same Mechanism
// value the FACSIMILE reader returns (docs/mechanism-v1.md).
//
// Every fault is an InputError naming the file, the line and the JSON
// pointer of the value at fault, and what was expected.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mechanism/runtime_mechanism.hpp"

namespace box {

// Avogadro's constant (exact since 2019) times 1e-6 m3 cm-3: molecules cm-3
// in one mol m-3. 6.02214076e17 is exact in a double.
inline constexpr double v1_molecules_cm3_per_mol_m3 = 6.02214076e17;

// A custom property (a key starting with `__`): its key and its value as
// JSON text.
struct V1CustomProperty {
  std::string key;
  std::string value;
};

struct V1Species {
  std::string name;
  std::optional<double> molecular_weight;        // kg mol-1
  std::optional<double> constant_concentration;  // mol m-3
  std::optional<double> constant_mixing_ratio;   // mol mol-1
  bool third_body = false;
  std::vector<V1CustomProperty> custom;
  // Held constant (any of the three above): folded into the rates, not a
  // species of the Mechanism.
  bool held() const { return third_body || constant_concentration || constant_mixing_ratio; }
};

struct V1PhaseSpecies {
  std::string name;
  std::optional<double> diffusion_coefficient;  // m2 s-1
  std::vector<V1CustomProperty> custom;
};

struct V1Phase {
  std::string name;
  std::vector<V1PhaseSpecies> species;
  std::vector<V1CustomProperty> custom;
};

struct V1Reaction {
  std::string type;
  std::string name;        // empty when the file gives none
  std::string where;       // file:line: pointer
  std::vector<int> mechanism_reactions;  // 0-based, in the Mechanism (two for a branched one)
  std::vector<V1CustomProperty> custom;
};

struct V1Mechanism {
  std::string name;
  std::string version;
  std::vector<V1Species> species;
  std::vector<V1Phase> phases;
  std::vector<V1Reaction> reactions;
  Mechanism mechanism;
};

// Reads the configuration at `path` and the files it lists. Throws InputError.
V1Mechanism read_v1_mechanism(const std::filesystem::path& path);

// Whether `path` names a version-1 configuration: .json, .yaml or .yml.
bool is_v1_mechanism_path(const std::filesystem::path& path);

// The one place mechanisms are read: a version-1 configuration by its
// extension, else a FACSIMILE mechanism file. Throws InputError.
Mechanism read_any_mechanism_file(const std::filesystem::path& path);

}  // namespace box
