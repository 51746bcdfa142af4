// The floating-point environment of a run, tried in child processes.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdlib>
#include <limits>
#include <string>

#include "common/errors.hpp"
#include "run/fp_environment.hpp"

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

// Without traps (an ensemble's workers) the raised flags say what a trapped
// run would have stopped on, and the arithmetic modes are the trapped run's.
TEST(FloatingPointFlags, NameWhatATrapWouldHaveStoppedOn) {
  EXPECT_EXIT(
      {
        set_floating_point_modes();
        const auto name_of = [](auto operation) {
          std::feclearexcept(FE_ALL_EXCEPT);
          volatile double result = operation();
          static_cast<void>(result);
          return std::string(exception_name(stopping_exceptions(std::fetestexcept(FE_ALL_EXCEPT))));
        };
        bool ok = name_of([] { return one / zero; }) == "division by zero";
        ok = ok && name_of([] { return zero / zero; }) == "invalid operation";
        ok = ok && name_of([] { return huge * 2.0; }) == "overflow";
        // The infinity of an overflow, used on, raises an invalid operation:
        // the trap would have stopped at the overflow.
        ok = ok && name_of([] {
          volatile double inf = huge * 2.0;
          return inf - inf;
        }) == "overflow";
        // Underflow and inexact results stop nothing.
        ok = ok && name_of([] { return std::numeric_limits<double>::min() / 1e10 + one / 3.0; }).empty();
        volatile double denormal = std::numeric_limits<double>::denorm_min() * 1e10;
        volatile double product = denormal * one;
        std::exit(ok && product == 0.0 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace box
