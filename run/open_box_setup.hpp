#pragma once
// The scenario's exchange settings turned into the chemistry step's open
// box: first-order and source terms in the mechanism's units.
#include "chemistry/open_box.hpp"
#include "environment/exchange.hpp"

namespace box {

// Converts the settings: E / H and v_d / H with H in cm, background ppb to
// mole fractions; H2O among the held species is left to the driver (it is
// not integrated: the step takes it from the moisture). Errors name the
// value's source: a species the mechanism does not integrate (H2O allowed
// among the held), a species given twice in one list, a negative emission,
// velocity, dilution rate or background, emissions or deposition without a
// positive mixing height, a species both held and emitted.
OpenBox build_open_box(const ExchangeSettings& settings);

}  // namespace box
