#pragma once
// The mechanism's kernels over several boxes at once: every scalar of the
// one-box kernels (mechanism/kernels.hpp) becomes a lane of a vector, and
// each lane goes through exactly the operations of the one-box kernel in
// the same order, so that every box gets the bits it would get alone.
//
// Arrays are entry-major, box-minor: entry k of box b sits at
// [k * lanes + b], and every array starts on a 32-byte boundary. The forms
// are compiled with the instruction sets they need, in translation units
// of their own; lane_kernels() picks one when the program loads.
#include <cstddef>
#include <vector>

namespace box {

struct LaneKernels {
  int lanes = 1;             // boxes per call
  const char* name = "";     // instruction set of the form
  // racm_fun: v (nvar), f (nfix), rct (nreact) -> vdot (nvar).
  void (*fun)(const double* v, const double* f, const double* rct, double* vdot) noexcept = nullptr;
  // racm_jac_sp into the lu_nonzero entries of the pattern.
  void (*jac)(const double* v, const double* f, const double* rct, double* jvs) noexcept = nullptr;
  // decomp_racm_shifted with one shift per box; ier receives each box's
  // first singular row (0: none). A box whose factorisation failed goes on
  // with the others: its values mean nothing then, and its arithmetic
  // (a division by its zero pivot, say) may raise exception flags, which
  // the caller must not charge to the other boxes.
  void (*decomp_shifted)(const double* jac, const double* shift, double* jvs, int* ier) noexcept = nullptr;
  // racm_solve, in place.
  void (*solve)(const double* jvs, double* x) noexcept = nullptr;
};

// The 4-lane form for processors with AVX2 (256-bit registers).
const LaneKernels& lane_kernels_avx2();
// The same 4 lanes with the AVX-512 encoding (AVX-512F and VL): 32 vector
// registers and shorter instructions.
const LaneKernels& lane_kernels_avx512();

// Every form this processor runs (for tests and benchmarks), widest
// instruction set first.
std::vector<const LaneKernels*> runnable_lane_kernels();

// The widest form this processor runs with a gain, or null when it has
// none (then every box is integrated on its own). `requested` = 1 asks for
// no lanes (null), 0 for the best; any other number must be that form's
// width, else null is returned and `available` (when given) says what is.
const LaneKernels* lane_kernels(int requested, int* available = nullptr);

}  // namespace box
