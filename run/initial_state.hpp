#pragma once
// The chemical state at the start of the day: a clean, humid surface layer
// with background methane, CO and ozone, little NOx, a few hydrocarbons
// and a small reservoir of bromine (BR2, HOBR, BRO).
#include "chemistry/concentration_slots.hpp"

namespace box {

// Water vapour of the surface layer: vapour pressure (Pa) at 70 % relative
// humidity and 299.15 K, and its mixing ratio in air at 101325 Pa.
struct SurfaceHumidity {
  double vapour_pressure;
  double mixing_ratio;
};
SurfaceHumidity surface_humidity();

// Initial mole fractions of the 82 driver slots; species not listed are 0.
ConcentrationVector initial_concentrations();

}  // namespace box
