#pragma once
// A mechanism as a value, built once from a file read at run time (the
// built-in mechanism keeps its compiled tables): the species, the reactions
// with their coefficients and compiled rate expressions, the named rate
// coefficients, the peroxy-radical (RO2) sum and the photolysis channels
// the rates use. Everything else a run needs (the Jacobian's pattern, the
// species order of the factorisation, the kernels' index lists) is derived
// from it (mechanism/derivation.hpp).
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mechanism/expression.hpp"

namespace box {

struct ProductTerm {
  int species = 0;          // 0-based species index
  double coefficient = 1.0; // yield, as written (summed over repeats)
};

struct RuntimeReaction {
  // Reactants with repetition: `NO + NO` and `2 NO` are two entries of NO.
  // The rate is k times the product of these concentrations.
  std::vector<int> reactants;
  // Products with their yields; a species written twice is one entry with
  // the yields added in the order written.
  std::vector<ProductTerm> products;
  Expression rate;
  std::string rate_text;  // the rate expression as written (blanks tidied)
  int line = 0;           // line of the file the reaction starts on
};

struct NamedCoefficient {
  std::string name;
  Expression value;
  std::string text;
  int line = 0;  // 0: taken from the generic coefficients, not the file
  // A rate parameter a run supplies by this name (a version-1 file's
  // photolysis, user-defined, emission, loss and surface rates); `value`
  // is its default, 0. The rates name it, never fold it.
  bool supplied = false;
};

struct Mechanism {
  std::string source;                 // the file it was read from
  std::vector<std::string> species;   // names as written, case preserved
  std::vector<RuntimeReaction> reactions;
  std::vector<NamedCoefficient> coefficients;  // in evaluation order
  std::vector<int> ro2;               // species of the RO2 sum
  std::vector<int> photolysis_channels;  // channel number of each slot
  bool declared_species = false;      // the file had a VARIABLE section
  std::vector<std::string> notes;     // warnings and notes of the reading

  int species_count() const { return static_cast<int>(species.size()); }
  int reaction_count() const { return static_cast<int>(reactions.size()); }

  // Index of the species called `name`, matched without regard to case.
  std::optional<int> find_species(std::string_view name) const;

  // The reaction as an equation, `NO + O3 = NO2`, with yields other than
  // one written before the name (`0.5 HCHO`).
  std::string equation(int reaction) const;
};

// The air a mechanism's rates are evaluated in. O2 and N2 follow from M.
struct MechanismAir {
  double temp = 298.15;   // K
  double m = 2.46e19;     // molecules cm-3
  double h2o = 0.0;       // molecules cm-3
  double press = 1013.25; // hPa
  double rh = 0.0;        // %
};

// Dry air at `temp` (K) and `m` (molecules cm-3), its pressure (hPa) that
// of an ideal gas: the air the commands that list a file's rate
// coefficients evaluate them in.
MechanismAir dry_air(double temp, double m);

// The air variables in AirVariable order (O2 = 0.2095 M, N2 = 0.7809 M).
inline constexpr std::size_t air_variable_count = 7;
std::array<double, air_variable_count> air_values(const MechanismAir& air);

}  // namespace box
