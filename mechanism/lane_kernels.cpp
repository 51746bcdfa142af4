#include "mechanism/lane_kernels.hpp"

namespace box {

std::vector<const LaneKernels*> runnable_lane_kernels() {
  std::vector<const LaneKernels*> forms;
#if defined(__x86_64__) && defined(__GNUC__)
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"))
    forms.push_back(&lane_kernels_avx512());
  if (__builtin_cpu_supports("avx2")) forms.push_back(&lane_kernels_avx2());
#endif
  return forms;
}

const LaneKernels* lane_kernels(int requested, int* available) {
  // Four lanes of AVX2, or of AVX-512 where it is available: the kernels
  // run about three times faster per box. Eight lanes in 256-bit registers
  // spill and gain far less, and two lanes of SSE2 gain nothing, so
  // neither is built.
  const std::vector<const LaneKernels*> forms = runnable_lane_kernels();
  const LaneKernels* best = forms.empty() ? nullptr : forms.front();
  if (available != nullptr) *available = best != nullptr ? best->lanes : 1;
  if (requested == 1) return nullptr;
  if (requested == 0) return best;
  return best != nullptr && best->lanes == requested ? best : nullptr;
}

}  // namespace box
