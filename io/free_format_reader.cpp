#include "io/free_format_reader.hpp"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "common/errors.hpp"

namespace box {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Skips a run of digits from `i`; returns how many there were.
std::size_t skip_digits(std::string_view s, std::size_t& i) {
  const std::size_t start = i;
  while (i < s.size() && is_digit(s[i])) ++i;
  return i - start;
}

// The syntax of a real: [sign] (digits [. [digits]] | . digits)
// [(e|E|d|D) [sign] digits]. This rules out the words nan and inf, which
// the C library would accept but which are not numbers in an input file.
bool is_real_syntax(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t mantissa_digits = skip_digits(s, i);
  if (i < s.size() && s[i] == '.') {
    ++i;
    mantissa_digits += skip_digits(s, i);
  }
  if (mantissa_digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (skip_digits(s, i) == 0) return false;
  }
  return i == s.size();
}

// strtod with the floating-point traps held off: a value out of the double
// range must become an input error, not a floating-point stop of the run.
double to_double(std::string_view token) {
  std::string text(token);
  for (char& c : text)
    if (c == 'd' || c == 'D') c = 'e';
  std::fenv_t saved;
  std::feholdexcept(&saved);
  const double value = std::strtod(text.c_str(), nullptr);
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetenv(&saved);
  return value;
}

// A value as it is quoted in a message: control characters and bytes
// outside ASCII (a binary file read by mistake, a stray NUL) are written as
// \xNN, so the message stays one readable line that no byte of the file can
// cut short or turn into a terminal control sequence; of a very long value
// only the first 40 characters are shown.
std::string quoted(std::string_view token) {
  constexpr std::size_t max_shown = 40;
  std::string text = "\"";
  for (std::size_t i = 0; i < token.size() && i < max_shown; ++i) {
    const auto byte = static_cast<unsigned char>(token[i]);
    if (byte >= 0x20 && byte < 0x7f) {
      text += static_cast<char>(byte);
    } else {
      constexpr char hex[] = "0123456789abcdef";
      text += "\\x";
      text += hex[byte >> 4];
      text += hex[byte & 0xf];
    }
  }
  if (token.size() > max_shown)
    text += "...\" (" + std::to_string(token.size()) + " characters)";
  else
    text += "\"";
  return text;
}

}  // namespace

FreeFormatReader::FreeFormatReader(std::istream& in, std::string name)
    : in_(in), name_(std::move(name)) {}

void FreeFormatReader::fail(int line, const std::string& message) const {
  throw InputError(name_ + ": line " + std::to_string(line) + ": " + message);
}

void FreeFormatReader::fail_at_value(const std::string& message) const {
  fail(value_line_, message);
}

void FreeFormatReader::fail_found(std::string_view expected, std::string_view name,
                                  std::string_view found) const {
  std::string message = "expected " + std::string(expected) + " (" + std::string(name) + "), found ";
  message += found.empty() ? std::string("an empty value") : quoted(found);
  fail(line_, message);
}

void FreeFormatReader::fail_out_of_range(std::string_view name, std::string_view token) const {
  fail(line_, "value out of range (" + std::string(name) + "), found " + quoted(token));
}

bool FreeFormatReader::next_line() {
  if (!std::getline(in_, text_)) {
    // A failed read (an I/O error of the disk, say) is not the end of the
    // file: saying "end of file" would send the user looking for a short
    // file.
    if (in_.bad()) fail(line_ + 1, "the file could not be read (read error)");
    text_.clear();
    pos_ = 0;
    return false;
  }
  ++line_;
  pos_ = 0;
  comma_seen_ = true;  // no value yet on this line: a comma here is an empty value
  return true;
}

void FreeFormatReader::skip_lines(int count) {
  for (int i = 1; i <= count; ++i)
    if (!next_line())
      fail(line_ + 1, "end of file in the header (" + std::to_string(count) +
                          " header lines expected, " + std::to_string(i - 1) + " found)");
  pos_ = text_.size();
}

void FreeFormatReader::begin(std::string what, int expected) {
  what_ = std::move(what);
  expected_ = expected;
  taken_ = 0;
  pos_ = text_.size();  // whatever is left of the current line is discarded
  if (expected == 0 && !next_line())
    fail(line_ + 1, "end of file while reading " + what_ + " (a line expected)");
}

void FreeFormatReader::read(std::string_view what, std::initializer_list<Field> fields,
                            bool list_fields) {
  std::string description(what);
  if (list_fields && fields.size() != 0) {
    const char* separator = " (";
    for (const Field& f : fields) {
      description += separator;
      description += f.name;
      separator = ", ";
    }
    description += ")";
  }
  begin(std::move(description), static_cast<int>(fields.size()));
  for (const Field& f : fields) {
    if (auto* i = std::get_if<std::int32_t*>(&f.target))
      **i = integer(f.name);
    else if (auto* d = std::get_if<double*>(&f.target))
      **d = real(f.name);
    else
      *std::get<bool*>(f.target) = logical(f.name);
  }
}

std::string_view FreeFormatReader::next_token(std::string_view expected, std::string_view name) {
  for (;;) {
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
    if (pos_ == text_.size()) {
      // The end of file is reported at the line that holds the incomplete
      // read, or where the read should have started.
      if (!next_line())
        fail(taken_ > 0 ? value_line_ : line_ + 1,
             "end of file while reading " + what_ + " (" + std::to_string(expected_) +
                 " values expected, " + std::to_string(taken_) + " read)");
      continue;
    }
    if (text_[pos_] == ',') {
      if (comma_seen_) fail_found(expected, name, "");
      comma_seen_ = true;
      ++pos_;
      continue;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !is_blank(text_[pos_]) && text_[pos_] != ',') ++pos_;
    comma_seen_ = false;
    value_line_ = line_;
    if (taken_ == 0) {
      first_value_line_ = line_;
      first_line_values_ = 0;
    }
    if (line_ == first_value_line_) ++first_line_values_;
    ++taken_;
    return std::string_view(text_).substr(start, pos_ - start);
  }
}

bool FreeFormatReader::values_left_on_line() const {
  for (std::size_t i = pos_; i < text_.size(); ++i)
    if (!is_blank(text_[i]) && text_[i] != ',') return true;
  return false;
}

double FreeFormatReader::real(std::string_view name) {
  constexpr std::string_view expected = "a real number";
  const std::string_view token = next_token(expected, name);
  if (!is_real_syntax(token)) fail_found(expected, name, token);
  const double value = to_double(token);
  if (!std::isfinite(value)) fail_out_of_range(name, token);
  return value;
}

std::int32_t FreeFormatReader::integer(std::string_view name) {
  constexpr std::string_view expected = "an integer";
  const std::string_view token = next_token(expected, name);
  // [sign] digits, and within the 32-bit range.
  std::size_t i = 0;
  if (!token.empty() && (token[0] == '+' || token[0] == '-')) ++i;
  if (skip_digits(token, i) == 0 || i != token.size()) fail_found(expected, name, token);
  const std::string_view digits = token[0] == '+' ? token.substr(1) : token;
  std::int32_t value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec != std::errc()) fail_out_of_range(name, token);
  return value;
}

bool FreeFormatReader::logical(std::string_view name) {
  constexpr std::string_view expected = "a logical T or F";
  const std::string_view token = next_token(expected, name);
  std::size_t i = token.size() > 1 && token[0] == '.' ? 1 : 0;
  const char c = i < token.size() ? token[i] : '\0';
  if (c == 'T' || c == 't') return true;
  if (c == 'F' || c == 'f') return false;
  fail_found(expected, name, token);
}

}  // namespace box
