#pragma once
// What a mechanism holds, as text for a person checking a file before a
// run: the species, reactions, photolysis channels used, named
// coefficients and RO2 members; warnings for declared species no reaction
// uses, species produced but never lost and reactions whose products repeat
// a reactant; the reactions the campaign diagnostics count
// (mechanism/diagnostics.hpp), by term; and every reaction's rate
// coefficient at a given air state.
#include <span>
#include <string>

#include "mechanism/runtime_mechanism.hpp"

namespace box {

// The report; `photolysis` gives the frequency of each slot (missing slots
// are taken as zero).
std::string mechanism_check_report(const Mechanism& mechanism, const MechanismAir& air,
                                   std::span<const double> photolysis = {});

}  // namespace box
