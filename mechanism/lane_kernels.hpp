#pragma once
// The built-in mechanism's kernels over several boxes at once, in the form
// the lane integrator takes (integrator/lane_system.hpp): racm_fun,
// racm_jac_sp, decomp_racm_shifted and racm_solve with every scalar a lane
// of a vector; fix holds the nfix fixed species, rconst the nreact rate
// coefficients. The forms are compiled with the instruction sets they
// need, in translation units of their own; lane_kernels() picks one when
// the program loads.
#include <vector>

#include "integrator/lane_system.hpp"

namespace box {

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
