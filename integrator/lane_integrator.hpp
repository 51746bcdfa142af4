#pragma once
// The Rosenbrock step loop over several boxes at once, with the lane forms
// of a system's kernels (integrator/lane_system.hpp; the built-in
// mechanism's are in mechanism/lane_kernels.hpp, a mechanism file's in
// run/file_lanes.hpp). Each box keeps
// its own time, step size, acceptance and rejection history and counters:
// a lane goes through exactly the operations and decisions of the one-box
// integrator (integrator/rosenbrock.hpp) on its own values, so that every
// box ends with the bits it would get alone. All lanes compute every stage
// together; a lane that has reached the end of its interval idles (its
// values frozen) until the others are done.
//
// Only the common path is taken here: a system whose matrices all
// factorise, every box with the same method and all autonomous, or all
// not (only a LaneSystem's kernels take the time). When a box needs anything
// else (a singular matrix and its halved step, an error exit, a bad
// control), integrate() returns false without changing any box, and the
// caller integrates each box on its own: its result is then the one-box
// integrator's by construction.
#include <array>
#include <cstddef>
#include <memory>
#include <span>

#include "integrator/controls.hpp"
#include "integrator/lane_system.hpp"

namespace box {

// One box of a lane integration: what ChemistryStep hands the one-box
// integrator, and what it gets back. Sizes are the kernels'.
struct LaneBox {
  double* var = nullptr;  // n unknowns, integrated over [tstart, tend] in place
  const double* fix = nullptr;     // nfix constant values
  const double* rconst = nullptr;  // nrconst constant values
  double tend = 0.0;
  const double* atol = nullptr;  // n each
  const double* rtol = nullptr;
  const IntControls* icntrl = nullptr;
  const RealControls* rcntrl = nullptr;
  RosenbrockCounters counters{};  // out
  double tstart = 0.0;  // other than 0 only for a LaneSystem that depends on time
};

class LaneIntegrator {
 public:
  explicit LaneIntegrator(const LaneKernels& kernels);
  // With kernels that are an object: `shape` gives the lanes and sizes,
  // `system` the operations. Both must outlive the integrator.
  LaneIntegrator(const LaneKernels& shape, LaneSystem& system);
  ~LaneIntegrator();
  LaneIntegrator(const LaneIntegrator&) = delete;
  LaneIntegrator& operator=(const LaneIntegrator&) = delete;

  int lanes() const noexcept { return kernels_.lanes; }
  const LaneKernels& kernels() const noexcept { return kernels_; }

  // Integrates 1 to lanes() boxes together. True: every box's var and
  // counters hold the one-box integrator's results (status ros_success).
  // False: nothing was changed; integrate each box on its own.
  bool integrate(std::span<LaneBox> boxes);

 private:
  struct Work;
  void fun(const double* t, const double* y, const double* fix, const double* rconst, double* ydot);
  void jac(const double* t, const double* y, const double* fix, const double* rconst, double* jac);
  void decomp_shifted(const double* jac, const double* shift, double* lu, int* ier);
  void solve(const double* lu, double* x);
  // df/dt at the lanes' times t (lanes() values) and y, whose f is f0.
  void time_derivative(const double* t, double roundoff, const double* f0, double* dfdt);

  const LaneKernels& kernels_;
  LaneSystem* system_ = nullptr;
  std::unique_ptr<Work> work_;
};

}  // namespace box
