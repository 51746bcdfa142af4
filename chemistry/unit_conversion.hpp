#pragma once
// Physical constants of the chemistry step: unit conversion between the
// driver's mass-based air state and the mechanism's number densities.

namespace box::unit_conversion {

inline constexpr double navgdro = 6.022E23;   // molecules per mole
inline constexpr double mwh = 1.0079;         // g/mol, hydrogen
inline constexpr double mwo = 15.9994;        // g/mol, oxygen
inline constexpr double mwair = 28.97;        // g/mol, dry air
inline constexpr double mwh2o = 2 * mwh + mwo;  // g/mol, water

// Air density in kg m-3 to molecules cm-3: 1 kg m-3 is 1e-3 g cm-3, which
// divided by the molar mass gives mol cm-3, times Avogadro's number.
inline constexpr double dens2con_a = 1.0E-3 * (1 / mwair) * navgdro;
// kg m-3 of water vapour -> molecules cm-3.
inline constexpr double dens2con_w = 1.0E-3 * (1 / mwh2o) * navgdro;

}  // namespace box::unit_conversion
