#pragma once
// The run's floating-point environment. An invalid operation, a division by
// zero or an overflow stops the program at once with a message naming the
// exception and exit status exit_fp_trap, so no NaN or infinity is ever
// carried into the chemistry; denormal operands are read as zero; underflow
// and inexact results stay silent.
namespace box {

void install_floating_point_traps();

}  // namespace box
