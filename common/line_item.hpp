#pragma once
// One item of a free-format output line: a text, a 32-bit integer or a
// double. Producers of messages (the integrator, the solar code) hand lists
// of items to a sink; only the writer decides their layout.
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <variant>

namespace box {

using LineItem = std::variant<std::string_view, std::int32_t, double>;

// Receives one free-format line as a list of items.
using LineSink = std::function<void(std::span<const LineItem>)>;

}  // namespace box
