#pragma once
// The run's floating-point environment. An invalid operation, a division by
// zero or an overflow stops the program at once with a message naming the
// exception and exit status exit_fp_trap, so no NaN or infinity is ever
// carried into the chemistry; denormal operands are read as zero; underflow
// and inexact results stay silent.
#include <cfenv>

namespace box {

void install_floating_point_traps();

// The arithmetic modes of the run without the traps: denormal operands read
// as zero (per thread on x86: every thread that computes chemistry must set
// it, or its bits differ from the main thread's). Ensemble workers use this
// and test the exception flags per member instead of trapping, since a trap
// is process-wide and cannot stop one member alone.
void set_floating_point_modes();

// The run's arithmetic modes (set_floating_point_modes) for the span of a
// scope in a thread that is not the program's (the Python interpreter's):
// the exception flags cleared on entry, the caller's environment and modes
// restored on exit.
class ScopedRunModes {
 public:
  ScopedRunModes();
  ScopedRunModes(const ScopedRunModes&) = delete;
  ScopedRunModes& operator=(const ScopedRunModes&) = delete;
  ~ScopedRunModes();

 private:
  std::fenv_t saved_{};
  unsigned int saved_csr_ = 0;
};

// The exceptions that stop a run, among `flags` (of fetestexcept): the
// trapped ones, FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW.
int stopping_exceptions(int flags);

// What a trapped run would have said of `flags` (as the trap's message
// names it): "overflow", "division by zero" or "invalid operation", the one
// most likely raised first; "" when none of them is raised.
const char* exception_name(int flags);

}  // namespace box
