#pragma once
// Small pieces of text handling shared by the environment's readers and
// checks.
#include <string>
#include <string_view>

namespace box {

// A number as messages show it: up to six significant digits (%g).
std::string shown(double value);

// `s` without leading and trailing blanks, tabs and carriage returns.
std::string_view trim_blanks(std::string_view s);

}  // namespace box
