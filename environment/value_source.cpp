#include "environment/value_source.hpp"

namespace box {

std::string ValueSource::describe() const {
  std::string s = file;
  if (line > 0) s += (s.empty() ? "line " : ": line ") + std::to_string(line);
  if (!key.empty()) s += (s.empty() ? "" : ": ") + key;
  return s;
}

}  // namespace box
