#pragma once
// Bad input to the open-box physics: an observation file or a scenario
// value. The message names the file, the line (or key) and what was
// expected; the program prints it and ends as for any other input error.
#include <string>

#include "common/errors.hpp"

namespace box {

class PhysicsInputError : public InputError {
 public:
  using InputError::InputError;
};

// Where a value was given: "file: line N: key" (the parts that are known).
struct ValueSource {
  std::string file;
  int line = 0;     // 0 when unknown
  std::string key;  // e.g. "[emissions] NO"; empty when not a key

  std::string describe() const;
};

}  // namespace box
