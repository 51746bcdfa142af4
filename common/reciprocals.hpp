#pragma once
// Divisions the model makes as multiplications by a reciprocal, named. Each
// is written as its quotient, which the compiler rounds to the nearest
// double once; the assertions hold that to the literal the model has always
// multiplied by, so every product keeps its bits. (Multiplying by a rounded
// reciprocal is not dividing: x * (1 / 3600) and x / 3600 differ in the last
// place for some x, so the form of each product is kept as it is.)
namespace box {

inline constexpr double hours_per_second = 1.0 / 3600.0;
inline constexpr double minutes_per_second = 1.0 / 60.0;
inline constexpr double hours_per_minute = 1.0 / 60.0;
inline constexpr double hours_per_degree = 1.0 / 15.0;    // of longitude: the sun moves 15 degrees an hour
inline constexpr double one_sixth = 1.0 / 6.0;
// Moles of dry air per gram (its molar mass, 28.8 g mol-1, as the model
// takes it): 18 times this turns a mole fraction of water vapour into a
// mass mixing ratio.
inline constexpr double moles_per_gram_air = 1.0 / 28.8;

static_assert(hours_per_second == 0.0002777777777777778);
static_assert(minutes_per_second == 0.016666666666666666 && hours_per_minute == minutes_per_second);
static_assert(hours_per_degree == 0.06666666666666667);
static_assert(one_sixth == 0.16666666666666666);
static_assert(moles_per_gram_air == 0.034722222222222224);

}  // namespace box
