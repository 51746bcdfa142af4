#pragma once
// Machine code for the kernels of a mechanism read at run time (f, J and
// the solve), written when it is loaded.
//
// The loop kernels (mechanism/loop_kernels.hpp) read, for every term of
// every sum, an index and a coefficient before the value itself: three
// loads where the compiled kernels of the built-in mechanism, with their
// indices and coefficients constants of the code, need one. For a small
// mechanism this is most of the time of f and J. Here the same operations
// are written out once as straight-line x86-64 code with the positions as
// displacements and the coefficients in a table next to it, so each term
// costs what it costs in compiled code. For the exported built-in mechanism:
// f 641 -> 349 ns, J 1,273 -> 510 ns, the solve 503 -> 281 ns
// (docs/performance.md). The factorisation stays the loop: written out
// the same way (by columns, or by rows with the row in registers) it was
// slower than the loop, its code three times the size of the others'.
//
// Every value is formed by exactly the loop kernels' operations in their
// order (a coefficient of 1 or -1 adds or subtracts the value itself, which
// is the same IEEE operation as adding its product with the coefficient),
// so a box gives the same bits with either, and the lane form (loops over
// four boxes) stays bit for bit the one-box result.
//
// Where no machine code can be written (another processor or calling
// convention than x86-64's System V one, a build without the Xbyak
// assembler, a system that refuses executable memory), write() gives
// nothing and the loop kernels serve; so does [chemistry] kernels =
// "loops", which has none written.
#include <cstddef>
#include <memory>

#include "mechanism/derivation.hpp"

namespace box {

// How the machine code is written; the defaults are the program's.
struct NativeKernelOptions {
  // A mechanism with a routine longer than this gets no machine code (see
  // native_kernels.cpp for the measurements behind the default).
  std::size_t max_routine_bytes = std::size_t{512} * 1024;
  // Makes `bytes` of written code at `code` executable and no longer
  // writable, false where the system refuses (as systems that forbid
  // writable memory to become executable do). Null: the system's own
  // protection call. Tests stand in for a system that refuses.
  bool (*make_executable)(const void* code, std::size_t bytes) = nullptr;
};

class NativeKernels {
 public:
  // The kernels of `d`, or nullptr where they cannot be written here or
  // one of them would be too long to pay (see native_kernels.cpp): then
  // the loop kernels serve for all.
  static std::unique_ptr<const NativeKernels> write(const MechanismDerivation& d,
                                                    const NativeKernelOptions& options = {});
  // Whether this build can write machine code at all.
  static bool supported() noexcept;

  NativeKernels(const NativeKernels&) = delete;
  NativeKernels& operator=(const NativeKernels&) = delete;
  ~NativeKernels();

  // loop_fun's, loop_jac's and loop_solve's results, bit for bit (same
  // arguments).
  void fun(const double* k, const double* y, double* r, double* f) const { fun_(k, y, r, f); }
  void jac(const double* k, const double* y, double* partial, double* jac) const { jac_(k, y, partial, jac); }
  void solve(const double* lu, double* x) const { solve_(lu, x); }

  // Bytes of machine code written.
  std::size_t code_bytes() const noexcept;

 private:
  struct Code;
  using Kernel = void (*)(const double*, const double*, double*, double*);
  using SolveKernel = void (*)(const double*, double*);
  NativeKernels() = default;

  std::unique_ptr<Code> code_;
  Kernel fun_ = nullptr;
  Kernel jac_ = nullptr;
  SolveKernel solve_ = nullptr;
};

}  // namespace box
