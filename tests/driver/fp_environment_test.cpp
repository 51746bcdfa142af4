// The floating-point environment of a run, tried in child processes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "driver/errors.hpp"
#include "driver/fp_environment.hpp"

namespace box {
namespace {

volatile double zero = 0.0;
volatile double one = 1.0;
volatile double huge = std::numeric_limits<double>::max();

// Runs `operation` in a child with the run's environment and expects it to
// stop with the trap status and a message naming `exception`.
template <class Operation>
void expect_stop(Operation operation, const std::string& exception) {
  EXPECT_EXIT(
      {
        install_floating_point_traps();
        volatile double result = operation();
        static_cast<void>(result);
      },
      testing::ExitedWithCode(exit_fp_trap), "floating-point exception: " + exception);
}

TEST(FloatingPointTrapsDeathTest, DivisionByZeroInvalidOperationAndOverflowStopTheRun) {
  expect_stop([] { return one / zero; }, "division by zero");
  expect_stop([] { return zero / zero; }, "invalid operation");
  expect_stop([] { return huge * 2.0; }, "overflow");
}

TEST(FloatingPointTrapsDeathTest, UnderflowAndDenormalOperandsAreSilent) {
  EXPECT_EXIT(
      {
        install_floating_point_traps();
        volatile double tiny = std::numeric_limits<double>::min();
        volatile double under = tiny / 1e10;  // underflows: no stop
        static_cast<void>(under);
        // A denormal operand is read as zero.
        volatile double denormal = std::numeric_limits<double>::denorm_min() * 1e10;
        volatile double product = denormal * one;
        std::exit(product == 0.0 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace box
