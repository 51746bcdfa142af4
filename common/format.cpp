#include "common/format.hpp"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <variant>

namespace box {
namespace {

// printf into a std::string. Every field of this module fits the stack
// buffer, so printf runs once; a longer text is written again at its size.
[[gnu::format(printf, 1, 2)]] std::string printf_string(const char* format, ...) {
  char buffer[128];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  std::string out;
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof buffer) {
    out.assign(buffer, static_cast<std::size_t>(length));
  } else if (length >= 0) {
    out.assign(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, again);
  }
  va_end(again);
  return out;
}

std::string right_justify(std::string text, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (text.size() > w) return std::string(w, '*');
  text.insert(0, w - text.size(), ' ');
  return text;
}

// Infinity and not-a-number never reach the output in a run (the floating-
// point traps stop it first), but the formatters still say what they got.
std::string non_finite(double value, int width) {
  if (std::isnan(value)) return right_justify("NaN", width);
  const char* text = value > 0 ? "Infinity" : "-Infinity";
  if (std::string_view(text).size() > static_cast<std::size_t>(width))
    text = value > 0 ? "Inf" : "-Inf";
  return right_justify(text, width);
}

// A field whose only excess character is the 0 in front of the decimal point
// drops that 0 (".500" in F4.3); anything wider becomes asterisks.
std::string fit_field(std::string text, int width) {
  if (text.size() == static_cast<std::size_t>(width) + 1) {
    const std::size_t zero = text[0] == '-' ? 1 : 0;
    if (text.compare(zero, 2, "0.") == 0) text.erase(zero, 1);
  }
  return right_justify(std::move(text), width);
}

// True if the number text has no non-zero digit (so "-0.000" loses its sign).
bool all_zero_digits(std::string_view text) {
  for (char c : text)
    if (c >= '1' && c <= '9') return false;
  return true;
}

// Decimal exponent of |value| once rounded to `significant` digits, i.e.
// the E of d.ddd…e+E as printf writes it.
int rounded_exponent(double value, int significant) {
  const std::string text = printf_string("%.*e", significant - 1, value);
  return std::atoi(text.c_str() + text.find('e') + 1);
}

}  // namespace

std::string label_field(std::string_view label, int width) {
  const auto w = static_cast<std::size_t>(width);
  if (label.size() >= w) return std::string(label.substr(0, w));
  return std::string(w - label.size(), ' ') + std::string(label);
}

std::string fixed_field(double value, int width, int decimals) {
  if (!std::isfinite(value)) return non_finite(value, width);
  std::string text = printf_string("%.*f", decimals, value);
  if (text[0] == '-' && all_zero_digits(text)) text.erase(0, 1);
  return fit_field(std::move(text), width);
}

std::string exponent_field(double value, int width, int digits) {
  if (!std::isfinite(value)) return non_finite(value, width);
  std::string mantissa(static_cast<std::size_t>(digits), '0');
  int exponent = 0;
  if (value != 0) {
    // printf gives d.ddd…e±x with the same significant digits; the field
    // wants them all behind the point, one decade up.
    const std::string text = printf_string("%.*e", digits - 1, std::fabs(value));
    mantissa = text.substr(0, 1) + text.substr(2, static_cast<std::size_t>(digits) - 1);
    exponent = std::atoi(text.c_str() + text.find('e') + 1) + 1;
  }
  std::string text = value < 0 ? "-0." : "0.";
  text += mantissa;
  const int magnitude = std::abs(exponent);
  // Two exponent digits after the letter E; three digits take its place.
  text += magnitude <= 99 ? printf_string("E%c%02d", exponent < 0 ? '-' : '+', magnitude)
                          : printf_string("%c%03d", exponent < 0 ? '-' : '+', magnitude);
  return fit_field(std::move(text), width);
}

std::string free_int(std::int32_t value) { return printf_string("%12d", value); }

std::string free_double(double value) {
  if (!std::isfinite(value)) return non_finite(value, free_double_width);
  constexpr int significant = 16;
  constexpr int fixed_width = free_double_width - 5;
  if (value == 0) return right_justify("0.000000000000000", fixed_width) + "     ";
  const int exponent = rounded_exponent(value, significant);
  if (exponent >= -1 && exponent < significant) {
    // 16 significant digits: as many decimals as are left after the
    // integer digits; with none left the point still closes the number.
    const int decimals = significant - 1 - exponent;
    std::string text = printf_string("%.*f", decimals, value);
    if (decimals == 0) text += '.';
    return right_justify(std::move(text), fixed_width) + "     ";
  }
  std::string text = printf_string("%.*E", significant, value);
  const std::size_t e = text.find('E');
  const int power = std::atoi(text.c_str() + e + 1);
  text.replace(e, std::string::npos,
               printf_string("E%c%03d", power < 0 ? '-' : '+', std::abs(power)));
  return right_justify(std::move(text), free_double_width);
}

std::string free_lines(std::span<const LineItem> items) {
  std::string out;
  std::string line = " ";
  bool line_has_item = false;
  bool previous_was_text = false;
  for (const LineItem& item : items) {
    const bool is_text = std::holds_alternative<std::string_view>(item);
    std::string text;
    if (is_text)
      text = std::get<std::string_view>(item);
    else if (const auto* i = std::get_if<std::int32_t>(&item))
      text = free_int(*i);
    else
      text = free_double(std::get<double>(item));

    const bool blank = line_has_item && !(is_text && previous_was_text);
    const std::size_t length = line.size() + (blank ? 1 : 0) + text.size();
    if (line_has_item && length > free_line_width) {
      out += line;
      out += '\n';
      line = " " + text;
    } else {
      if (blank) line += ' ';
      line += text;
    }
    line_has_item = true;
    previous_was_text = is_text;
  }
  out += line;
  out += '\n';
  return out;
}

std::string full_precision(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

}  // namespace box
