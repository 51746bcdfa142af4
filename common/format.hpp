#pragma once
// Text layout of everything the model prints, in one place.
//
// Two families of layout are used:
//  - fixed-width fields (labels, fixed-point numbers, exponent numbers) for
//    the species table and the formatted start-up line, in the manner of a
//    Fortran edit descriptor (Aw, Fw.d, Ew.d);
//  - free-format lines built from a list of items (texts, 32-bit integers,
//    doubles) for the echo, warnings and integrator messages.
// Numbers are rounded from their exact binary value to the nearest decimal,
// as the C library's printf does.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/line_item.hpp"

namespace box {

// Longest free-format line: an item that would carry a line past this
// column starts a new line.
inline constexpr std::size_t free_line_width = 79;
// Column widths of free-format integers and doubles.
inline constexpr int free_int_width = 12;
inline constexpr int free_double_width = 25;

// Label right-justified in `width` columns (leftmost `width` characters if
// longer), like an Aw descriptor.
std::string label_field(std::string_view label, int width);

// Fixed-point field of `width` columns with `decimals` decimals (Fw.d):
// right-justified, minus sign only when a non-zero digit survives rounding,
// `width` asterisks when the value does not fit.
std::string fixed_field(double value, int width, int decimals);

// Exponent field (Ew.d): 0.ddd…dE+xx with `digits` digits after the point,
// right-justified in `width` columns; asterisks if it does not fit.
std::string exponent_field(double value, int width, int digits);

// The 12-column free-format form of an integer.
std::string free_int(std::int32_t value);

// The 25-column free-format form of a double: 16 significant digits in
// fixed notation plus 5 blanks when the value (rounded to 16 digits) is 0 or
// 0.1 <= |x| < 1e16, otherwise d.dddddddddddddddE+xxx.
std::string free_double(double value);

// Lays out items as free-format lines: each line starts with one blank,
// items are separated by one blank except between two texts, and an item
// that would carry a line past column 79 starts a new line (a blank, then
// the item). Every line ends with '\n'.
std::string free_lines(std::span<const LineItem> items);

// A number for the machine-readable outputs (CSV files, attributes):
// printf's %.17g, 17 significant digits, enough for every double to read
// back as the same double.
std::string full_precision(double value);

}  // namespace box
