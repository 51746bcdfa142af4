#pragma once
// Reader for the model's list-directed input files.
//
// Each read starts at the beginning of the next line and takes as many
// values as it asks for: a read that needs more values than its line holds
// goes on to the following lines, and values left on the last line used are
// discarded. Values are separated by blanks or a comma. Integers have no
// decimal point; reals are decimal or exponent numbers (1.5, 3e2, 2.5E-03,
// 1.0d0); logicals are T or F (also .TRUE., .f. and the like).
//
// Every failure is an InputError whose message names the file, the line and
// what was expected there.
#include <cstdint>
#include <initializer_list>
#include <istream>
#include <string>
#include <string_view>
#include <variant>

namespace box {

class FreeFormatReader {
 public:
  // `name` is the file name used in messages.
  FreeFormatReader(std::istream& in, std::string name);

  // Skips `count` lines unread (a header); end of file there is an error.
  void skip_lines(int count);

  // Starts a read of `expected` values, named `what` in messages ("record
  // 17", "read 4"). A read of no values skips one line.
  void begin(std::string what, int expected);
  double real(std::string_view name);
  std::int32_t integer(std::string_view name);
  bool logical(std::string_view name);

  // One value of a read and where it goes: its name for messages and the
  // variable, whose type says how the value is read.
  struct Field {
    std::string_view name;
    std::variant<std::int32_t*, double*, bool*> target;
  };
  // A whole read: begin() and each field in order. `what` ("read 4",
  // "record 17") names the read in messages, followed by the names of its
  // fields if `list_fields`.
  void read(std::string_view what, std::initializer_list<Field> fields, bool list_fields = true);

  // Line number (from 1) of the last value taken.
  int line() const { return value_line_; }
  // Line of the first value of the current read, and how many of its values
  // stood on that line: a read that spans lines has fewer than it expected.
  int first_line() const { return first_value_line_; }
  int values_on_first_line() const { return first_line_values_; }
  // Whether the rest of the current line holds more values, which the next
  // read would discard unread.
  bool values_left_on_line() const;
  const std::string& name() const { return name_; }

  // Throws an InputError "<file>: line <n>: <message>" at the last value.
  [[noreturn]] void fail_at_value(const std::string& message) const;

 private:
  bool next_line();
  std::string_view next_token(std::string_view expected, std::string_view name);
  [[noreturn]] void fail(int line, const std::string& message) const;
  [[noreturn]] void fail_found(std::string_view expected, std::string_view name,
                               std::string_view found) const;
  [[noreturn]] void fail_out_of_range(std::string_view name, std::string_view token) const;

  std::istream& in_;
  std::string name_;
  std::string text_;         // current line
  std::size_t pos_ = 0;      // next unread character of text_
  int line_ = 0;             // number of the current line, 0 before the first
  int value_line_ = 0;       // line of the last value taken
  int first_value_line_ = 0; // line of the current read's first value
  int first_line_values_ = 0;
  bool comma_seen_ = false;  // a comma has closed the last value
  std::string what_;         // current read, for messages
  int expected_ = 0;
  int taken_ = 0;
};

}  // namespace box
