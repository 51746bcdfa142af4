#pragma once
// What the lane integrator (integrator/lane_integrator.hpp) needs of a
// system integrated over several boxes at once: its sizes, known when the
// program runs, and the lane forms of its kernels. Every scalar of the
// one-box kernels becomes a lane of a vector, and each lane goes through
// exactly the operations of the one-box kernel in the same order, so that
// every box gets the bits it would get alone.
//
// Arrays are entry-major, box-minor: entry k of box b sits at
// [k * lanes + b], and every array starts on a 32-byte boundary. Besides
// the unknowns y, a box brings two blocks of values held constant over an
// integration, `fix` and `rconst` (for a mechanism: the fixed species and
// the rate coefficients), which the kernels read alongside y.
namespace box {

struct LaneKernels {
  int lanes = 1;             // boxes per call
  const char* name = "";     // instruction set of the form
  // f: y (n), fix (nfix), rconst (nrconst) -> ydot (n).
  void (*fun)(const double* y, const double* fix, const double* rconst, double* ydot) noexcept = nullptr;
  // The Jacobian into the nnz stored entries of the system's layout.
  void (*jac)(const double* y, const double* fix, const double* rconst, double* jac) noexcept = nullptr;
  // The stage matrix shift I - jac, with one shift per box, factorised in
  // place as it is formed; ier receives each box's first singular row (0:
  // none). A box whose factorisation failed goes on with the others: its
  // values mean nothing then, and its arithmetic (a division by its zero
  // pivot, say) may raise exception flags, which the caller must not
  // charge to the other boxes.
  void (*decomp_shifted)(const double* jac, const double* shift, double* lu, int* ier) noexcept = nullptr;
  // The solve with those factors, in place.
  void (*solve)(const double* lu, double* x) noexcept = nullptr;
  // Sizes per box: unknowns, stored matrix entries, and the two constant
  // blocks.
  int n = 0;
  int nnz = 0;
  int nfix = 0;
  int nrconst = 0;
};

// Kernels that need data of their own, beyond what the arrays carry (a
// mechanism read at run time: its index lists, each box's coefficients
// that follow the concentrations and its exchange with the surroundings),
// as an object with the same four operations on the same layout. The
// LaneKernels it comes with then give only the lanes and the sizes.
// Such a system may also depend on time: `t` holds each lane's time of
// the evaluation (the lane integrator then integrates a non-autonomous
// system, as the one-box integrator does).
class LaneSystem {
 public:
  virtual void fun(const double* t, const double* y, const double* fix, const double* rconst, double* ydot) = 0;
  virtual void jac(const double* t, const double* y, const double* fix, const double* rconst, double* jac) = 0;
  virtual void decomp_shifted(const double* jac, const double* shift, double* lu, int* ier) = 0;
  virtual void solve(const double* lu, double* x) = 0;

 protected:
  ~LaneSystem() = default;
};

}  // namespace box
