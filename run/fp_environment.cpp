#include "run/fp_environment.hpp"

#include <cfenv>
#include <csignal>
#include <cstring>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

#include "common/errors.hpp"

namespace box {
namespace {

constexpr int trapped = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

void write_stderr(const char* text) {
  // write(2) is async-signal-safe; stdio is not.
  const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
  static_cast<void>(ignored);
}

void on_floating_point_trap(int, siginfo_t* info, void*) {
  const char* what = "unknown arithmetic exception";
  switch (info->si_code) {
    case FPE_FLTINV: what = "invalid operation"; break;
    case FPE_FLTDIV: what = "division by zero"; break;
    case FPE_FLTOVF: what = "overflow"; break;
    case FPE_INTDIV: what = "integer division by zero"; break;
    case FPE_INTOVF: what = "integer overflow"; break;
    default: break;
  }
  write_stderr("boxmodel: floating-point exception: ");
  write_stderr(what);
  write_stderr("; the run is stopped\n");
  ::_exit(exit_fp_trap);
}

}  // namespace

void install_floating_point_traps() {
  struct sigaction action {};
  action.sa_sigaction = on_floating_point_trap;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGFPE, &action, nullptr);

  std::feclearexcept(FE_ALL_EXCEPT);
  feenableexcept(trapped);
  set_floating_point_modes();
}

void set_floating_point_modes() {
#if defined(__x86_64__) || defined(__i386__)
  // MXCSR bit 6, denormals-are-zero: denormal inputs of SSE arithmetic are
  // taken as 0 (results that underflow are still produced as denormals).
  _mm_setcsr(_mm_getcsr() | 0x0040u);
#endif
}

ScopedRunModes::ScopedRunModes() {
  std::fegetenv(&saved_);
  std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__x86_64__) || defined(__i386__)
  saved_csr_ = _mm_getcsr();
#endif
  set_floating_point_modes();
}

ScopedRunModes::~ScopedRunModes() {
  std::fesetenv(&saved_);
#if defined(__x86_64__) || defined(__i386__)
  _mm_setcsr(saved_csr_);
#endif
}

int stopping_exceptions(int flags) { return flags & trapped; }

const char* exception_name(int flags) {
  // An overflow or a division by zero makes an infinity, whose later use
  // may raise an invalid operation, but a NaN raises nothing further: when
  // both are seen the invalid operation came second.
  if (flags & FE_OVERFLOW) return "overflow";
  if (flags & FE_DIVBYZERO) return "division by zero";
  if (flags & FE_INVALID) return "invalid operation";
  return "";
}

}  // namespace box
