#pragma once
// The two ways a run can fail on its files. Both carry the whole message
// (file, line, what was expected); the program prints it and ends with the
// matching exit status.
#include <stdexcept>

namespace box {

// Exit statuses of the program.
inline constexpr int exit_input_error = 1;   // missing or malformed input file
inline constexpr int exit_output_error = 2;  // an output could not be written
inline constexpr int exit_fp_trap = 3;       // invalid operation, division by zero, overflow,
                                             // or a mole fraction above 1 (ImpossibleState)
// 4 is the ensemble's (some members failed).
inline constexpr int exit_spin_up_not_converged = 5;  // [spin_up] not converged in max_days; outputs complete

// A missing input file, a malformed value or an early end of file.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A failed open or write of an output.
class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A state no air can be in: a mole fraction above 1, which only a runaway
// of the numbers (an emission or initial value far too large) reaches. The
// run stops as on a floating-point overflow, which would come next.
class ImpossibleState : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace box
